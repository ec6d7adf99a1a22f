// The stand-in's workspace home page: enough of a workspace page for a tab to become ready on
// it, and to prove that a message reaches the native side.
#include "StandinPages.h"

namespace orlith::standin {

std::string appPage(Greeting greeting) {
  std::string page = R"html(<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Orlith Workspace</title>
<link rel="stylesheet" href="/app.css">
<style>
  main { display: flex; flex-direction: column; align-items: center; justify-content: center; height: 100%; padding: 0; }
  h1 { font-weight: 600; margin: 0 0 0.5em; }
</style>
<script>
window.__got = [];
window.addEventListener('orlith:desktop-command', (event) => window.__got.push(event.detail));
window.__orlithDesktopCommandReady = true;
// The first paint, reported by the page itself: after the load event and one animation frame it
// asks a fixed address, which the stand-in timestamps for the cold-start benchmark.
window.addEventListener('load', () => requestAnimationFrame(() => {
  fetch('/__first-paint', { cache: 'no-store' }).catch(() => {});
}));
</script>
</head>
<body>
<main>
  <h1>Orlith Workspace</h1>
  <p id="status">Connected to the workspace.</p>
</main>
)html";
  if (greeting == Greeting::send) {
    page += R"html(<script>
  (function () {
    var status = document.getElementById('status');
    var handlers = window.webkit && window.webkit.messageHandlers;
    if (handlers && handlers.orlith) {
      handlers.orlith.postMessage({ channel: 'orlith:standin-hello', href: location.href });
      status.textContent = 'Connected to the desktop app.';
    } else {
      status.textContent = 'Not running inside the desktop app.';
    }
  })();
</script>
)html";
  }
  page += "</body>\n</html>\n";
  return page;
}

}  // namespace orlith::standin
