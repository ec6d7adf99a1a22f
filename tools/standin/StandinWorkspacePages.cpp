// Test pages of the stand-in web application. "localhost" on the same port serves as the
// foreign origin: the server answers both names.
#include "StandinWorkspacePages.h"

#include "StandinPages.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace orlith::standin {
namespace {

// A JavaScript string literal of `text`, safe inside a <script> element.
std::string jsString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// The names in a Cookie header, each followed by a space.
std::string cookieNames(const std::string& header) {
  std::string names;
  std::size_t start = 0;
  while (start < header.size()) {
    std::size_t end = header.find(';', start);
    if (end == std::string::npos)
      end = header.size();
    std::string pair = header.substr(start, end - start);
    const std::size_t first = pair.find_first_not_of(' ');
    const std::size_t equals = pair.find('=');
    if (first != std::string::npos && equals != std::string::npos && equals > first)
      names += pair.substr(first, equals - first) + " ";
    start = end + 1;
  }
  return names;
}

std::string portOf(const httplib::Request& request) {
  std::string host = request.get_header_value("Host");
  auto colon = host.rfind(':');
  return colon == std::string::npos ? std::string("443") : host.substr(colon + 1);
}

// A workspace page: styled through /app.css, a main surface, the desktop-command contract, and
// the links and frame the policy tests click. `styled` false leaves out "--background".
std::string workspacePage(const httplib::Request& request, bool styled) {
  const std::string foreign = "https://localhost:" + portOf(request);
  std::string page = R"html(<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Board - Orlith</title>
)html";
  page += styled ? "<link rel=\"stylesheet\" href=\"/app.css\">\n"
                 : "<style>main { display: block; }</style>\n";
  page += "<script>\nwindow.__request = { cookie: " + jsString(request.get_header_value("Cookie")) +
          ", userAgent: " + jsString(request.get_header_value("User-Agent")) + " };\n";
  page += R"html(window.__got = [];
window.addEventListener('orlith:desktop-command', (event) => window.__got.push(event.detail));
window.__orlithDesktopCommandReady = true;
window.addEventListener('message', (event) => {
  if (event.data && event.data.frameReport) window.__frameReport = event.data.frameReport;
});
</script>
</head>
<body>
<main>
  <h1>Workspace</h1>
  <p><a id="external" href="https://example.invalid/x">Elsewhere</a></p>
  <p><a id="mail" href="mailto:a@b.c">Mail</a></p>
  <p><a id="blank" target="_blank" href="/app/y">New window</a></p>
  <p><a id="file" href="/api/file.bin">File</a> <a id="slow-file" href="/api/slow.bin">Slow file</a></p>
)html";
  page += "  <iframe id=\"frame\" src=\"" + foreign + "/frame\"></iframe>\n";
  page += "</main>\n</body>\n</html>\n";
  return page;
}

// Served as the foreign origin inside a workspace page: tries every way to the bridge.
const char* const kForeignFrame = R"html(<!doctype html>
<html><head><meta charset="utf-8"><title>Frame</title></head>
<body><p>Foreign frame</p>
<script>
  const report = { hasWebkit: typeof window.webkit !== 'undefined' };
  try {
    window.webkit.messageHandlers.orlith.postMessage(
      { channel: 'orlith:open-external', payload: { url: 'https://example.invalid/frame-handler' } });
    report.handler = 'posted';
  } catch (error) { report.handler = 'absent'; }
  try {
    parent.__orlithDesktop.post('orlith:open-external', { url: 'https://example.invalid/frame-parent' });
    report.parent = 'posted';
  } catch (error) { report.parent = 'blocked'; }
  top.postMessage({ __orlith: true, channel: 'orlith:open-external',
                    payload: { url: 'https://example.invalid/frame-envelope' } }, '*');
  parent.postMessage({ frameReport: report }, '*');
</script>
</body></html>
)html";

// The theme classes the desktop app seeds ("dark" on the root) pick the colours.
const char* const kStyles =
    ":root { --background: #fcfbf8; --foreground: #1d1d1b; color-scheme: light; }\n"
    ":root.dark { --background: #121212; --foreground: #ececea; color-scheme: dark; }\n"
    "html, body { margin: 0; height: 100%; background: var(--background); "
    "color: var(--foreground); font-family: sans-serif; }\n"
    "main { padding: 24px; }\n"
    "iframe { width: 300px; height: 80px; border: 1px solid #ccc; }\n";

void html(httplib::Response& response, const std::string& body) {
  response.set_content(body, "text/html; charset=utf-8");
}

}  // namespace

void registerWorkspacePages(httplib::Server& server) {
  // With ORLITH_STANDIN_PAINT_LOG set, each first-paint report appends the monotonic clock's
  // nanoseconds to that file, one line each. With ORLITH_STANDIN_COOKIE_LOG set, it appends the
  // names of the cookies the page sent to that file, one line each, and the reply sets a lasting
  // cookie of the page's own, "standin_visit", which is not a session cookie.
  server.Get("/__first-paint", [](const httplib::Request& request, httplib::Response& response) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    if (const char* path = std::getenv("ORLITH_STANDIN_PAINT_LOG")) {
      if (std::FILE* log = std::fopen(path, "a")) {
        std::fprintf(log, "%lld\n",
                     static_cast<long long>(
                         std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
        std::fclose(log);
      }
    }
    if (const char* path = std::getenv("ORLITH_STANDIN_COOKIE_LOG")) {
      if (std::FILE* log = std::fopen(path, "a")) {
        std::fprintf(log, "%s\n", cookieNames(request.get_header_value("Cookie")).c_str());
        std::fclose(log);
      }
      response.set_header("Set-Cookie", "standin_visit=1; Path=/; Secure; Max-Age=86400");
    }
    response.status = 204;
  });
  server.Get("/app.css", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(kStyles, "text/css");
  });
  server.Get("/app/w", [](const httplib::Request& request, httplib::Response& response) {
    html(response, workspacePage(request, true));
  });
  server.Get("/app/bare", [](const httplib::Request& request, httplib::Response& response) {
    html(response, workspacePage(request, false));
  });
  server.Get("/app/y", [](const httplib::Request& request, httplib::Response& response) {
    html(response, workspacePage(request, true));
  });
  server.Get("/share/x", [](const httplib::Request&, httplib::Response& response) {
    html(response, "<!doctype html><title>Shared</title><main><h1>Shared page</h1></main>");
  });
  server.Get("/frame", [](const httplib::Request&, httplib::Response& response) {
    html(response, kForeignFrame);
  });
  server.Get("/app/r", [](const httplib::Request&, httplib::Response& response) {
    response.set_redirect("/login", 302);
  });
  for (const char* path : {"/login", "/signup/x"}) {
    server.Get(path, [](const httplib::Request&, httplib::Response& response) {
      html(response,
           "<!doctype html><title>Sign in</title><main><form><h1>Sign in</h1></form></main>");
    });
  }
  server.Get("/app/expired", [](const httplib::Request&, httplib::Response& response) {
    response.status = 401;
    html(response, "<!doctype html><title>Expired</title><main>Expired</main>");
  });
  server.Get("/app/basic", [](const httplib::Request&, httplib::Response& response) {
    response.status = 401;
    response.set_header("WWW-Authenticate", "Basic realm=\"stand-in\"");
    html(response, "<!doctype html><title>Basic</title><main>Basic</main>");
  });
  server.Get("/api/x", [](const httplib::Request&, httplib::Response& response) {
    response.status = 401;
    response.set_content("{\"error\":\"unauthorised\"}", "application/json");
  });
  server.Get("/api/file.bin", [](const httplib::Request&, httplib::Response& response) {
    response.set_header("Content-Disposition", "attachment; filename=\"../../.evil name.bin\"");
    response.set_content(std::string(4096, 'x'), "application/octet-stream");
  });
  // A download that keeps going for about twenty seconds, for tests that stop one midway; a
  // write to a client that went away ends it.
  server.Get("/api/slow.bin", [](const httplib::Request&, httplib::Response& response) {
    response.set_header("Content-Disposition", "attachment; filename=\"slow.bin\"");
    response.set_chunked_content_provider(
        "application/octet-stream", [](size_t offset, httplib::DataSink& sink) {
          if (offset >= 200 * 1024) {
            sink.done();
            return true;
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
          std::string chunk(1024, 'y');
          return sink.write(chunk.data(), chunk.size());
        });
  });
  // Answered only after the tests' shortened load deadline. Not longer: the server's stop
  // waits for every handler, and this version of the library tells a handler nothing of it.
  server.Get("/app/slow", [](const httplib::Request& request, httplib::Response& response) {
    std::this_thread::sleep_for(std::chrono::seconds(3));
    html(response, workspacePage(request, true));
  });
  // Every other workspace address is a page a tab becomes ready on. Registered last: the first
  // matching route answers.
  server.Get(R"(/app/.+)", [](const httplib::Request&, httplib::Response& response) {
    html(response, appPage(Greeting::none));
  });
}

}  // namespace orlith::standin
