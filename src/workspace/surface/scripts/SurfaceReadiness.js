// Proves to the desktop app that the page shows a styled surface: once armed with a ticket, it
// reports when two animation frames in a row found one. Runs in its own script world.
(() => {
  const allowedOrigins = __ORLITH_ORIGINS__;
  if (window !== window.top || !allowedOrigins.includes(location.origin)) return;
  const handlers = window.webkit && window.webkit.messageHandlers;
  const handler = handlers && handlers.orlithSurface;
  if (!handler) return;

  const surfaceSelector =
    "main, [role='main'], [role='status'], form, h1, h2, [data-orlith-loading]";
  let hostActive = true;
  let arming = null;

  const stylesReady = () => {
    const root = document.documentElement;
    if (!root) return false;
    if (getComputedStyle(root).getPropertyValue('--background').trim() === '') return false;
    for (const link of document.querySelectorAll('link[rel~="stylesheet"]')) {
      if (link.disabled) continue;
      if (link.media && !window.matchMedia(link.media).matches) continue;
      if (!link.sheet) return false;
    }
    return true;
  };

  const isShownSurface = (element) => {
    const box = element.getBoundingClientRect();
    if (box.width <= 0 || box.height <= 0) return false;
    if (box.bottom <= 0 || box.right <= 0) return false;
    if (box.top >= window.innerHeight || box.left >= window.innerWidth) return false;
    if (element.hidden) return false;
    const style = getComputedStyle(element);
    if (style.display === 'none' || style.visibility === 'hidden') return false;
    for (let node = element; node instanceof Element; node = node.parentElement) {
      if (parseFloat(getComputedStyle(node).opacity) === 0) return false;
    }
    return (
      element.textContent.trim() !== '' ||
      element.children.length > 0 ||
      element.hasAttribute('data-orlith-loading')
    );
  };

  const surfaceExists = () => Array.from(document.querySelectorAll(surfaceSelector)).some(isShownSurface);

  const isClearFrame = () =>
    hostActive &&
    document.visibilityState !== 'hidden' &&
    document.readyState !== 'loading' &&
    stylesReady() &&
    surfaceExists();

  const stop = () => {
    const current = arming;
    if (!current) return;
    arming = null;
    current.observer.disconnect();
    for (const [target, type, listener, options] of current.listeners) {
      target.removeEventListener(type, listener, options);
    }
    if (current.frame !== null) cancelAnimationFrame(current.frame);
  };

  const requestCheck = (state) => {
    if (arming !== state || state.frame !== null) return;
    state.frame = requestAnimationFrame(() => {
      state.frame = null;
      if (arming !== state) return;
      state.clearFrames = isClearFrame() ? state.clearFrames + 1 : 0;
      if (state.clearFrames >= 2) {
        stop();
        try {
          handler.postMessage({ ticket: state.ticket, origin: location.origin });
        } catch (error) {}
        return;
      }
      // A clear frame needs a second one in a row; anything else waits for the next event.
      if (state.clearFrames > 0) requestCheck(state);
    });
  };

  const rescheduleCheck = () => {
    const state = arming;
    if (!state) return;
    if (state.frame !== null) {
      cancelAnimationFrame(state.frame);
      state.frame = null;
    }
    requestCheck(state);
  };

  window.__orlithSurfaceActive = (active) => {
    hostActive = active === true;
    rescheduleCheck();
  };

  window.__orlithArmSurface = (ticket, expectedOrigin) => {
    if (typeof ticket !== 'string' || !/^[a-f0-9]{32}$/.test(ticket)) return;
    if (location.origin !== expectedOrigin) return;
    stop();
    const state = { ticket: ticket, clearFrames: 0, frame: null, observer: null, listeners: [] };
    const onEvent = () => requestCheck(state);
    state.observer = new MutationObserver(onEvent);
    state.observer.observe(document.documentElement || document, {
      childList: true,
      subtree: true,
      attributes: true,
    });
    const listen = (target, type, listener, options) => {
      target.addEventListener(type, listener, options);
      state.listeners.push([target, type, listener, options]);
    };
    listen(document, 'DOMContentLoaded', onEvent, false);
    listen(window, 'load', onEvent, true);
    listen(document, 'visibilitychange', onEvent, false);
    listen(window, 'resize', onEvent, false);
    listen(window, 'pageshow', onEvent, false);
    listen(window, 'pagehide', stop, { once: true });
    arming = state;
    requestCheck(state);
  };
})();
