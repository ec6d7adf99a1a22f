// The main queue on a GLib main context.
#include "platform/glib/GlibMainQueue.h"

namespace orlith {

GlibMainQueue::GlibMainQueue(GMainContext* context)
    : context_(g_main_context_ref(context != nullptr ? context : g_main_context_default()),
               &g_main_context_unref) {}

GlibMainQueue::~GlibMainQueue() {
  std::deque<std::function<void()>> dropped;
  std::lock_guard lock(mutex_);
  if (source_ != nullptr) {
    g_source_destroy(source_);
    g_source_unref(source_);
    source_ = nullptr;
  }
  dropped.swap(pending_);
}

void GlibMainQueue::post(std::function<void()> work) {
  std::lock_guard lock(mutex_);
  pending_.push_back(std::move(work));
  if (source_ != nullptr)
    return;
  // One source drains the whole queue, so order never depends on how GLib orders sources.
  // Attaching it wakes the context when another thread is polling in it.
  source_ = g_idle_source_new();
  g_source_set_priority(source_, G_PRIORITY_DEFAULT);
  g_source_set_callback(source_, &GlibMainQueue::dispatch, this, nullptr);
  g_source_attach(source_, context_.get());
}

gboolean GlibMainQueue::dispatch(gpointer self) noexcept {
  return static_cast<GlibMainQueue*>(self)->runPending();
}

gboolean GlibMainQueue::runPending() noexcept {
  // Only what was pending when this turn began: work posted by work runs on a later turn,
  // after the other sources had theirs.
  std::size_t count;
  {
    std::lock_guard lock(mutex_);
    count = pending_.size();
  }
  for (std::size_t i = 0; i < count; ++i) {
    std::function<void()> work;
    {
      std::lock_guard lock(mutex_);
      work = std::move(pending_.front());
      pending_.pop_front();
    }
    work();
  }
  std::lock_guard lock(mutex_);
  if (!pending_.empty())
    return G_SOURCE_CONTINUE;
  g_source_unref(source_);
  source_ = nullptr;
  return G_SOURCE_REMOVE;
}

}  // namespace orlith
