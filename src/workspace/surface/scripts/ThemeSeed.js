// Seeds the workspace page's theme before the page's own code runs, so that its first frame
// already has the right colours. Public and shared pages keep their own light look.
(() => {
  const allowedOrigins = __ORLITH_ORIGINS__;
  if (window !== window.top || !allowedOrigins.includes(location.origin)) return;
  if (!/^\/app(?:\/|$)/.test(location.pathname)) return;

  const storageKey = 'orlith:app-theme';
  let theme = null;
  try {
    theme = window.localStorage.getItem(storageKey);
  } catch (error) {}
  if (theme !== 'dark' && theme !== 'light') theme = __ORLITH_THEME__;
  try {
    window.localStorage.setItem(storageKey, theme);
  } catch (error) {}

  const seed = (root) => {
    root.classList.toggle('dark', theme === 'dark');
    root.setAttribute('data-app-theme', theme);
    root.style.colorScheme = theme;
    root.style.backgroundColor = theme === 'dark' ? '#121212' : '#fcfbf8';
  };

  if (document.documentElement) {
    seed(document.documentElement);
    return;
  }
  // Only the first seeding is ours; later theme changes belong to the web application.
  const observer = new MutationObserver(() => {
    if (!document.documentElement) return;
    observer.disconnect();
    seed(document.documentElement);
  });
  observer.observe(document, { childList: true, subtree: true });
})();
