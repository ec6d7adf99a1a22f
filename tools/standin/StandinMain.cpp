// The local stand-in for the Orlith service: HTTPS on 127.0.0.1 with the build's development
// certificate. Prints "listening on <port>" once it accepts connections.
#include <httplib.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>

#include "StandinAccountApi.h"
#include "StandinHostilePages.h"
#include "StandinPages.h"
#include "StandinUpdates.h"
#include "StandinWorkspacePages.h"

namespace {

struct Options {
  std::string host = "127.0.0.1";
  int port = 0;
  std::string certificate;
  std::string key;
  std::string release;
};

[[noreturn]] void usage() {
  std::cerr << "usage: orlith-standin --cert FILE --key FILE [--port N] [--host ADDR] "
               "[--release FOLDER]\n";
  std::exit(2);
}

Options parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (i + 1 >= argc)
      usage();
    std::string value = argv[++i];
    if (arg == "--cert") {
      options.certificate = value;
    } else if (arg == "--key") {
      options.key = value;
    } else if (arg == "--port") {
      options.port = std::stoi(value);
    } else if (arg == "--host") {
      options.host = value;
    } else if (arg == "--release") {
      options.release = value;
    } else {
      usage();
    }
  }
  if (options.certificate.empty() || options.key.empty())
    usage();
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  Options options = parseOptions(argc, argv);

  // Termination signals are taken synchronously by a waiting thread, so stopping the server
  // happens outside a signal handler.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  httplib::SSLServer server(options.certificate.c_str(), options.key.c_str());
  if (!server.is_valid()) {
    std::cerr << "orlith-standin: cannot load the certificate or key\n";
    return 1;
  }
  server.Get("/app", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(orlith::standin::appPage(orlith::standin::Greeting::send),
                         "text/html; charset=utf-8");
  });
  orlith::standin::registerAccountApi(server);
  orlith::standin::registerHostilePages(server);
  orlith::standin::registerWorkspacePages(server);
  orlith::standin::registerUpdates(server, options.release);

  int port = options.port == 0
                 ? server.bind_to_any_port(options.host)
                 : (server.bind_to_port(options.host, options.port) ? options.port : -1);
  if (port <= 0) {
    std::cerr << "orlith-standin: cannot listen on " << options.host << ":" << options.port << "\n";
    return 1;
  }

  std::thread stopper([&server, signals] {
    int received = 0;
    sigwait(&signals, &received);
    server.stop();
  });
  stopper.detach();

  std::cout << "listening on " << port << std::endl;
  server.listen_after_bind();
  return 0;
}
