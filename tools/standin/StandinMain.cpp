// The local stand-in for the Orlith service: HTTPS on 127.0.0.1 with the build's development
// certificate. Its first line of output says whether it is listening: "listening on <port>"
// once it accepts connections, or why it is not. With --parent it ends when that process does.
#include <httplib.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>

#include "StandinAccountApi.h"
#include "StandinHostilePages.h"
#include "StandinPages.h"
#include "StandinPortHolder.h"
#include "StandinUpdates.h"
#include "StandinWorkspacePages.h"

namespace {

struct Options {
  std::string host = "127.0.0.1";
  int port = 0;
  std::string certificate;
  std::string key;
  std::string release;
  pid_t parent = 0;
};

[[noreturn]] void usage() {
  std::cerr << "usage: orlith-standin --cert FILE --key FILE [--port N] [--host ADDR] "
               "[--release FOLDER] [--parent PID]\n";
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
    } else if (arg == "--parent") {
      options.parent = static_cast<pid_t>(std::stol(value));
    } else {
      usage();
    }
  }
  if (options.certificate.empty() || options.key.empty())
    usage();
  return options;
}

// The port is this stand-in's alone: no SO_REUSEPORT (the library's default here), which would
// let a second listener share it and take part of the connections. SO_REUSEADDR only lets it
// bind again while an earlier run's connections linger.
void exclusiveSocketOptions(socket_t socket) {
  int yes = 1;
  ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

[[noreturn]] void notListening(const std::string& reason) {
  std::cout << "orlith-standin: " << reason << std::endl;
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  Options options = parseOptions(argc, argv);
  // Stopped like a SIGTERM when the parent ends, however it ends; gone already, then at once.
  if (options.parent != 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != options.parent)
      return 1;
  }

  // Termination signals are taken synchronously by a waiting thread, so stopping the server
  // happens outside a signal handler.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  httplib::SSLServer server(options.certificate.c_str(), options.key.c_str());
  if (!server.is_valid())
    notListening("cannot load the certificate or key");
  server.set_socket_options(exclusiveSocketOptions);
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
    const std::string address = options.host + ":" + std::to_string(options.port);
    const auto holder =
        options.port != 0 ? orlith::standin::portHolder(options.port) : std::nullopt;
    notListening(holder ? "cannot listen on " + address + ": the port is in use by " + *holder
                        : "cannot listen on " + address);
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
