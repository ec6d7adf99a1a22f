// Change signals of observable models, and the coalescing of many changes into one callback.
#pragma once

#include <functional>
#include <memory>
#include <utility>

#include <sigc++/sigc++.h>

#include "base/MainQueue.h"

namespace orlith {

// Emitted synchronously after each change of a model.
using ChangeSignal = sigc::signal<void()>;

// Owns one signal connection and disconnects it when destroyed or reassigned, so a handler never
// outlives the object that installed it. Movable, not copyable.
class ScopedConnection {
 public:
  ScopedConnection() = default;
  ScopedConnection(sigc::connection connection) : connection_(std::move(connection)) {}
  ~ScopedConnection() { connection_.disconnect(); }
  ScopedConnection(const ScopedConnection&) = delete;
  ScopedConnection& operator=(const ScopedConnection&) = delete;
  ScopedConnection(ScopedConnection&& other) noexcept
      : connection_(std::exchange(other.connection_, sigc::connection())) {}
  ScopedConnection& operator=(ScopedConnection&& other) noexcept {
    if (this != &other) {
      connection_.disconnect();
      connection_ = std::exchange(other.connection_, sigc::connection());
    }
    return *this;
  }
  ScopedConnection& operator=(sigc::connection connection) {
    connection_.disconnect();
    connection_ = std::move(connection);
    return *this;
  }

  void disconnect() { connection_.disconnect(); }
  // Gives up ownership: the connection stays until disconnected elsewhere.
  sigc::connection release() { return std::exchange(connection_, sigc::connection()); }
  bool connected() const { return connection_.connected(); }

 private:
  sigc::connection connection_;
};

// schedule() any number of times in one main-loop turn runs the callback once, from the main
// queue. Destroying the CoalescedCallback first cancels a pending run. Main thread only.
class CoalescedCallback {
 public:
  explicit CoalescedCallback(std::function<void()> callback)
      : state_(std::make_shared<State>(State{std::move(callback), false})) {}
  CoalescedCallback(const CoalescedCallback&) = delete;
  CoalescedCallback& operator=(const CoalescedCallback&) = delete;

  void schedule() {
    if (state_->scheduled)
      return;
    state_->scheduled = true;
    MainQueue::shared().post([weak = std::weak_ptr<State>(state_)] {
      std::shared_ptr<State> state = weak.lock();
      if (!state)
        return;
      // Cleared first, so a change made by the callback itself schedules another run.
      state->scheduled = false;
      state->callback();
    });
  }
  bool isScheduled() const noexcept { return state_->scheduled; }

 private:
  struct State {
    std::function<void()> callback;
    bool scheduled;
  };
  std::shared_ptr<State> state_;
};

}  // namespace orlith
