// An HTTPS server inside the test process on 127.0.0.1, with the build's development
// certificate, so the real transport reaches it as it reaches a local origin.
#pragma once

#include <httplib.h>

#include <string>
#include <thread>

namespace orlith::testing {

class LocalHttpsServer {
 public:
  explicit LocalHttpsServer(const std::string& devMaterialDir)
      : server_((devMaterialDir + "/server.pem").c_str(),
                (devMaterialDir + "/server.key").c_str()) {
    // Its port alone: the library's default SO_REUSEPORT would let another listener share it.
    server_.set_socket_options([](socket_t socket) {
      int yes = 1;
      ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
  }
  LocalHttpsServer(const LocalHttpsServer&) = delete;
  LocalHttpsServer& operator=(const LocalHttpsServer&) = delete;
  ~LocalHttpsServer() {
    server_.stop();
    if (thread_.joinable())
      thread_.join();
  }

  // Routes go here before start().
  httplib::SSLServer& routes() { return server_; }

  void start() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running())
      std::this_thread::yield();
  }

  int port() const { return port_; }
  std::string origin() const { return "https://127.0.0.1:" + std::to_string(port_); }

 private:
  httplib::SSLServer server_;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace orlith::testing
