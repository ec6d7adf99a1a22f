// The stand-in's /app page: enough of a workspace page to prove that the app's web view loads
// it and that a message reaches the native side.
#include "StandinPages.h"

namespace orlith::standin {

std::string appPage() {
  return R"html(<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Orlith Workspace</title>
<style>
  html, body { margin: 0; height: 100%; font-family: sans-serif; background: #fcfbf8; color: #1d1d1b; }
  main { display: flex; flex-direction: column; align-items: center; justify-content: center; height: 100%; }
  h1 { font-weight: 600; margin: 0 0 0.5em; }
  #status { color: #5c5c58; }
</style>
</head>
<body>
<main>
  <h1>Orlith Workspace</h1>
  <p id="status">Connecting to the desktop app…</p>
</main>
<script>
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
</body>
</html>
)html";
}

}  // namespace orlith::standin
