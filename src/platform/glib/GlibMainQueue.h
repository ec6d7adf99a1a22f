// The main queue on a GLib main context: FIFO from any thread, one wake-up source at a time.
#pragma once

#include <glib.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "base/MainQueue.h"

namespace orlith {

class GlibMainQueue final : public MainQueue {
 public:
  // nullptr means the default main context.
  explicit GlibMainQueue(GMainContext* context = nullptr);
  // Drops work still pending. Uninstall the queue first.
  ~GlibMainQueue() override;
  GlibMainQueue(const GlibMainQueue&) = delete;
  GlibMainQueue& operator=(const GlibMainQueue&) = delete;

  void post(std::function<void()> work) override;

 private:
  static gboolean dispatch(gpointer self) noexcept;
  gboolean runPending() noexcept;

  std::unique_ptr<GMainContext, decltype(&g_main_context_unref)> context_;
  std::mutex mutex_;
  std::deque<std::function<void()>> pending_;
  // Attached while work is pending; guarded by mutex_.
  GSource* source_ = nullptr;
};

}  // namespace orlith
