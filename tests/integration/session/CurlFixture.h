// The real libcurl transport on the GLib main loop, with helpers to run tasks to their end.
#pragma once

#include <glib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

#include "base/Clock.h"
#include "platform/curl/CurlHttpTransport.h"
#include "platform/glib/GlibMainQueue.h"
#include "platform/glib/GlibTaskRunner.h"
#include "session/OrlithAuthClient.h"

namespace orlith::testing {

inline OrlithEnvironment environmentAt(const std::string& origin) {
  // The service hosts of a production-like build: the local origin is trusted as local.
  return OrlithEnvironment(*Url::parse(origin),
                           ServiceHosts{origin, "orlith.example", "www.orlith.example"});
}

class CurlFixture : public ::testing::Test {
 protected:
  template <class T>
  T run(Task<T> task) {
    return runOnMainContext(std::move(task));
  }

  template <class T>
  OrlithAuthError runError(Task<T> task) {
    try {
      run(std::move(task));
    } catch (const OrlithAuthError& error) {
      return error;
    }
    ADD_FAILURE() << "the operation did not fail";
    return OrlithAuthError::cancelled();
  }

  // Runs `action` on the main loop after `delay`.
  static void after(std::chrono::milliseconds delay, std::function<void()> action) {
    auto* held = new std::function<void()>(std::move(action));
    g_timeout_add_full(
        G_PRIORITY_DEFAULT, static_cast<guint>(delay.count()),
        [](gpointer data) -> gboolean {
          (*static_cast<std::function<void()>*>(data))();
          return G_SOURCE_REMOVE;
        },
        held, [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
  }

  std::unique_ptr<OrlithAuthClient> clientFor(const std::string& origin,
                                              std::shared_ptr<HttpTransport> transport = nullptr) {
    return std::make_unique<OrlithAuthClient>(
        environmentAt(origin), transport ? transport : transport_,
        AppIdentity{"2.3", "45", "com.tolvik.orlith.mac"}, std::make_shared<SystemClock>());
  }

  GlibMainQueue queue_;
  MainQueue::Installation installation_{queue_};
  std::shared_ptr<CurlHttpTransport> transport_ = std::make_shared<CurlHttpTransport>();
};

}  // namespace orlith::testing
