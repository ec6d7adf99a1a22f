// HTTP servers inside the test process on 127.0.0.1: a cpp-httplib one that records what it
// received, and a raw one for replies that stall or never end.
#pragma once

#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orlith::testing {

class RecordingServer {
 public:
  struct Received {
    std::string method;
    std::string path;
    httplib::Headers headers;
    std::string body;
  };

  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  // Routes that record each request, body included, before `handler` answers it.
  void get(const std::string& path, Handler handler) {
    server_.Get(path, recorded(std::move(handler)));
  }
  void post(const std::string& path, Handler handler) {
    server_.Post(path, recorded(std::move(handler)));
  }

  void start() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running())
      std::this_thread::yield();
  }
  ~RecordingServer() {
    server_.stop();
    if (thread_.joinable())
      thread_.join();
  }

  std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::vector<Received> received() {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  httplib::Server::Handler recorded(Handler handler) {
    return [this, handler](const httplib::Request& request, httplib::Response& response) {
      {
        std::lock_guard lock(mutex_);
        received_.push_back({request.method, request.path, request.headers, request.body});
      }
      handler(request, response);
    };
  }

  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<Received> received_;
};

// Accepts connections and hands each to `serve` with a flag that turns true when the server
// stops. Reads the request head before calling it.
class RawServer {
 public:
  using Serve = std::function<void(int socket, const std::atomic<bool>& stopping)>;

  explicit RawServer(Serve serve) : serve_(std::move(serve)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 8);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { acceptLoop(); });
  }
  ~RawServer() {
    stopping_ = true;
    thread_.join();
    ::close(listener_);
  }

  std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }

  // Sends all of `data`; false once the peer has gone.
  static bool sendAll(int socket, std::string_view data) {
    while (!data.empty()) {
      ssize_t sent = ::send(socket, data.data(), data.size(), MSG_NOSIGNAL);
      if (sent <= 0)
        return false;
      data.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
  }

 private:
  void acceptLoop() {
    while (!stopping_) {
      pollfd descriptor{listener_, POLLIN, 0};
      if (::poll(&descriptor, 1, 50) <= 0)
        continue;
      int connection = ::accept(listener_, nullptr, nullptr);
      if (connection < 0)
        continue;
      std::string head;
      char buffer[4096];
      while (head.find("\r\n\r\n") == std::string::npos && !stopping_) {
        pollfd readable{connection, POLLIN, 0};
        if (::poll(&readable, 1, 50) <= 0)
          continue;
        ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0)
          break;
        head.append(buffer, static_cast<size_t>(got));
      }
      serve_(connection, stopping_);
      ::close(connection);
    }
  }

  Serve serve_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace orlith::testing
