// Main-loop driving and snapshots for toolkit tests.
#include "UiHarness.h"

#include <stdexcept>

#include "platform/glib/GObjectPtr.h"

namespace orlith::testing {

bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool timedOut = false;
  guint timer = g_timeout_add(
      static_cast<guint>(timeout.count()),
      [](gpointer flag) -> gboolean {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &timedOut);
  while (!done() && !timedOut && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
  }
  if (!timedOut)
    g_source_remove(timer);
  return done();
}

std::filesystem::path saveSnapshot(WebKitWebView* webView, const std::string& name) {
  struct Result {
    GdkTexture* texture = nullptr;
    bool finished = false;
  } result;
  webkit_web_view_get_snapshot(
      webView, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
      [](GObject* source, GAsyncResult* asyncResult, gpointer data) {
        auto* out = static_cast<Result*>(data);
        out->texture =
            webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), asyncResult, nullptr);
        out->finished = true;
      },
      &result);
  if (!spinUntil([&] { return result.finished; }, std::chrono::seconds(20)) || !result.texture) {
    throw std::runtime_error("no snapshot of the web view");
  }
  auto texture = adoptObject(result.texture);
  std::filesystem::path folder = std::filesystem::path(ORLITH_BINARY_DIR) / "ui-artifacts";
  std::filesystem::create_directories(folder);
  auto path = folder / (name + ".png");
  if (!gdk_texture_save_to_png(texture.get(), path.c_str())) {
    throw std::runtime_error("cannot write " + path.string());
  }
  return path;
}

}  // namespace orlith::testing
