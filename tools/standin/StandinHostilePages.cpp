// Hostile pages: /app/hostile[/<attempts>/<auto|click>][/away] is a workspace page (it keeps the
// page contract) with a frame of the foreign origin and controls for real clicks; the frame,
// /hostile-frame?do=a,b&auto=1, runs the named attempts when it loads (auto) or when its button
// is clicked; "away" moves the page itself elsewhere after a moment; /frame-landing reports where
// it landed. Every result reaches the workspace page as window.__hostile[key]. The settings are
// in the path: a tab's first address keeps no query.
#include "StandinHostilePages.h"

#include <string>

namespace orlith::standin {
namespace {

std::string portOf(const httplib::Request& request) {
  std::string host = request.get_header_value("Host");
  auto colon = host.rfind(':');
  return colon == std::string::npos ? std::string("443") : host.substr(colon + 1);
}

// Only letters, digits, commas and dashes pass into the page.
std::string plainParameter(const std::string& value) {
  std::string kept;
  for (char c : value) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ',' ||
        c == '-')
      kept += c;
  }
  return kept;
}

const char* const kFrameScript = R"js(
const params = new URLSearchParams(location.search);
const service = 'https://127.0.0.1:' + location.port;
const report = (key, value) => parent.postMessage({ hostile: { key: key, value: value } }, '*');
const clickLink = (href, attributes) => {
  const link = document.createElement('a');
  link.href = href;
  for (const name in attributes) link.setAttribute(name, attributes[name]);
  document.body.appendChild(link);
  link.click();
  link.remove();
};
const attempt = (results, name, run) => {
  try { results[name] = run(); } catch (error) { results[name] = 'threw'; }
};
const actions = {
  open() {
    const targets = ['https://example.invalid/popup', 'mailto:open@b.c', service + '/logout'];
    report('open', targets.map((target) => window.open(target) === null ? 'blocked' : 'opened'));
  },
  schemes() {
    for (const href of ['mailto:s@b.c', 'tel:+100', 'sms:+100', 'https://example.invalid/frame-script'])
      clickLink(href, {});
    report('schemes', 'done');
  },
  top() {
    try { top.location.href = 'https://example.invalid/top'; report('top', 'assigned'); }
    catch (error) { report('top', 'threw'); }
  },
  download() {
    clickLink('data:application/octet-stream;base64,' + btoa('frame data'), { download: 'frame-data.bin' });
    clickLink(URL.createObjectURL(new Blob(['frame blob'])), { download: 'frame-blob.bin' });
    report('download', 'done');
  },
  data() {
    const report = 'parent.postMessage({ hostile: { key: "data", value: "loaded" } }, "*")';
    location.href = 'data:text/html,' + encodeURIComponent('<script>' + report + '</' + 'script>');
  },
  dialogs() {
    const results = {};
    attempt(results, 'alert', () => String(alert('Frame alert')));
    attempt(results, 'confirm', () => confirm('Session expired. Continue?'));
    attempt(results, 'prompt', () => prompt('Session expired. Re-enter your password'));
    attempt(results, 'print', () => String(print()));
    attempt(results, 'restore', () => {
      delete window.alert;
      return Object.getOwnPropertyDescriptor(window, 'alert').configurable;
    });
    attempt(results, 'nested', () => {
      const inner = document.createElement('iframe');
      document.body.appendChild(inner);
      return inner.contentWindow.confirm('Nested confirm');
    });
    report('dialogs', results);
  },
  mic() {
    const results = {};
    const settle = (name, request) => {
      let promise;
      try { promise = request(); } catch (error) { promise = Promise.reject(error); }
      Promise.resolve(promise).then(() => 'granted', (error) => 'refused:' + (error && error.name))
        .then((value) => {
          results[name] = value;
          if (Object.keys(results).length === 2) report('mic', results);
        });
    };
    settle('direct', () => navigator.mediaDevices.getUserMedia({ audio: true }));
    settle('prototype', () =>
      MediaDevices.prototype.getUserMedia.call(navigator.mediaDevices, { audio: true }));
  },
};
const run = () => (params.get('do') || '').split(',').forEach((name) => actions[name] && actions[name]());
document.getElementById('act').addEventListener('click', run);
window.addEventListener('load', () => {
  const box = (id) => {
    const rect = document.getElementById(id).getBoundingClientRect();
    return [rect.left + rect.width / 2, rect.top + rect.height / 2];
  };
  parent.postMessage({ layout: { act: box('act'), link: box('frame-link'), mail: box('frame-mail') } }, '*');
  if (params.get('auto') === '1') run();
});
)js";

std::string framePage() {
  std::string page = R"html(<!doctype html>
<html><head><meta charset="utf-8"><title>Foreign frame</title>
<style>
  html, body { margin: 0; height: 100%; font-family: sans-serif; }
  #act { display: block; width: 100%; height: 120px; font-size: 20px; }
  a { display: block; height: 40px; line-height: 40px; }
</style></head>
<body>
<button id="act">Act</button>
<a id="frame-link" href="/frame-landing">Stay in the frame</a>
<a id="frame-mail" href="mailto:frame@b.c">Mail from the frame</a>
<script>)html";
  page += kFrameScript;
  page += "</script>\n</body></html>\n";
  return page;
}

std::string workspacePage(const httplib::Request& request, const std::string& attempts,
                          bool automatic, bool away) {
  const std::string foreign = "https://localhost:" + portOf(request);
  std::string page = R"html(<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Hostile - Orlith</title>
<link rel="stylesheet" href="/app.css">
<style>
  #frame { display: block; width: 480px; height: 240px; }
  .controls a, .controls button { display: inline-block; margin: 8px; padding: 8px; }
</style>
<script>
window.__got = [];
window.addEventListener('orlith:desktop-command', (event) => window.__got.push(event.detail));
window.__orlithDesktopCommandReady = true;
window.__hostile = {};
window.addEventListener('message', (event) => {
  if (!event.data) return;
  if (event.data.hostile) window.__hostile[event.data.hostile.key] = event.data.hostile.value;
  if (event.data.layout) window.__frameLayout = event.data.layout;
});
</script>
</head>
<body>
<main>
  <h1>Hostile</h1>
)html";
  page += "  <iframe id=\"frame\" src=\"" + foreign +
          "/hostile-frame?do=" + plainParameter(attempts) + "&auto=" + (automatic ? "1" : "0") +
          "\"></iframe>\n";
  page += R"html(  <p class="controls">
    <a id="m-external" href="https://example.invalid/main">Elsewhere</a>
    <a id="m-mail" href="mailto:m@b.c">Mail</a>
    <a id="m-data" download="main-data.txt" href="data:text/plain,main%20data">Data</a>
    <a id="m-signup" href="/signup/x">Sign up</a>
    <button id="m-open-two">Two windows</button>
)html";
  page += "    <a id=\"m-landing\" href=\"" + foreign + "/frame-landing\">Landing</a>\n";
  page += R"html(  </p>
</main>
<script>
document.getElementById('m-open-two').addEventListener('click', () => {
  window.open('https://example.invalid/one');
  window.open('https://example.invalid/two');
});
)html";
  if (away) {
    page += "setTimeout(() => { location.href = '" + foreign + "/frame-landing'; }, 1500);\n";
  }
  page += "</script>\n</body>\n</html>\n";
  return page;
}

void html(httplib::Response& response, const std::string& body) {
  response.set_content(body, "text/html; charset=utf-8");
}

}  // namespace

void registerHostilePages(httplib::Server& server) {
  server.Get(R"(/app/hostile(?:/([a-z,]+)/(auto|click))?(/away)?)",
             [](const httplib::Request& request, httplib::Response& response) {
               html(response,
                    workspacePage(request, request.matches[1].str(),
                                  request.matches[2].str() == "auto", request.matches[3].matched));
             });
  server.Get("/hostile-frame", [](const httplib::Request&, httplib::Response& response) {
    html(response, framePage());
  });
  // A name that starts with a dash and hides a right-to-left override between spaces.
  server.Get("/api/dash.bin", [](const httplib::Request&, httplib::Response& response) {
    response.set_header("Content-Disposition",
                        "attachment; filename*=UTF-8''-rf%20%E2%80%AE%20x.txt");
    response.set_content("dash", "application/octet-stream");
  });
  server.Get("/frame-landing", [](const httplib::Request&, httplib::Response& response) {
    html(response,
         "<!doctype html><title>Landing</title><main><h1>Landing</h1></main><script>"
         "parent.postMessage({ hostile: { key: 'landed', value: location.href } }, '*');"
         "</script>");
  });
}

}  // namespace orlith::standin
