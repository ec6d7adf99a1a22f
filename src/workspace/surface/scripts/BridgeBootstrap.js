// The page's bridge to the desktop app: window.__orlithDesktop, printing through the app, the
// relay of same-window message envelopes, and reports of the workspace page's theme.
(() => {
  const allowedOrigins = __ORLITH_ORIGINS__;
  if (window !== window.top || !allowedOrigins.includes(location.origin)) return;
  if (window.__orlithDesktop) return;

  const post = (channel, payload) => {
    try {
      window.webkit.messageHandlers.orlith.postMessage({ channel: channel, payload: payload || {} });
    } catch (error) {}
  };

  Object.defineProperty(window, '__orlithDesktop', {
    value: Object.freeze({ platform: __ORLITH_PLATFORM__, version: __ORLITH_VERSION__, post: post }),
    writable: false,
    configurable: false,
  });

  window.print = function print() {
    post('orlith:print', {});
  };

  // Envelopes from nested frames or other origins are not the page's own and are ignored.
  window.addEventListener('message', (event) => {
    if (event.source !== window || event.origin !== window.location.origin) return;
    const data = event.data;
    if (!data || data.__orlith !== true || typeof data.channel !== 'string') return;
    post(data.channel, data.payload);
  });

  if (!/^\/app(?:\/|$)/.test(location.pathname)) return;
  let lastReported = null;
  const reportTheme = () => {
    try {
      const root = document.documentElement;
      if (!root) return;
      const theme = root.classList.contains('dark') ? 'dark' : 'light';
      if (theme === lastReported) return;
      lastReported = theme;
      post('orlith:web-theme', { theme: theme });
    } catch (error) {}
  };
  const watchTheme = () => {
    try {
      reportTheme();
      new MutationObserver(reportTheme).observe(document.documentElement, {
        attributes: true,
        attributeFilter: ['class', 'data-app-theme'],
      });
    } catch (error) {}
  };
  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', watchTheme, { once: true });
  } else {
    watchTheme();
  }
})();
