// Main-loop driving, display settings, scripts and pixels for toolkit tests.
#include "UiHarness.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <utility>

#include "platform/glib/GObjectPtr.h"
#include "support/TestTimeBudget.h"

namespace orlith::testing {
namespace {

std::filesystem::path artifactsFolder() {
  std::filesystem::path folder = std::filesystem::path(ORLITH_BINARY_DIR) / "ui-artifacts";
  std::filesystem::create_directories(folder);
  return folder;
}

struct GskRendererUnref {
  void operator()(GskRenderer* renderer) const {
    gsk_renderer_unrealize(renderer);
    g_object_unref(renderer);
  }
};
struct RenderNodeUnref {
  void operator()(GskRenderNode* node) const { gsk_render_node_unref(node); }
};

}  // namespace

void applyTestSettings() {
  GtkSettings* settings = gtk_settings_get_default();
  g_object_set(settings, "gtk-enable-animations", FALSE, "gtk-font-name", kTestFontName, nullptr);
}

AnimationsOn::AnimationsOn() {
  g_object_set(gtk_settings_get_default(), "gtk-enable-animations", TRUE, nullptr);
}

AnimationsOn::~AnimationsOn() {
  g_object_set(gtk_settings_get_default(), "gtk-enable-animations", FALSE, nullptr);
}

bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  timeout = boundedByTestTime(timeout);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool timedOut = false;
  guint timer = g_timeout_add(
      static_cast<guint>(timeout.count()),
      [](gpointer flag) -> gboolean {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &timedOut);
  // Conditions outside this loop (a file, another process, a lock) are looked at again this
  // often, also while nothing happens in the loop.
  guint poll = g_timeout_add(
      20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  while (!done() && !timedOut && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
  }
  g_source_remove(poll);
  if (!timedOut)
    g_source_remove(timer);
  return done();
}

void presentAndWait(GtkWindow* window) {
  gtk_window_present(window);
  waitForDraw(GTK_WIDGET(window));
}

void waitForDraw(GtkWidget* widget) {
  // As the toolkit's own wait for a frame, which has no end: a widget never drawn fails here.
  bool drawn = false;
  const guint tick = gtk_widget_add_tick_callback(
      widget,
      [](GtkWidget*, GdkFrameClock*, gpointer flag) -> gboolean {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &drawn, nullptr);
  if (!spinUntil([&] { return drawn; }, std::chrono::seconds(20))) {
    gtk_widget_remove_tick_callback(widget, tick);
    throw std::runtime_error("the widget was not drawn in time");
  }
}

bool activate(GtkWindow* window, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!gtk_window_is_active(window)) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    gtk_window_present(window);
    spinUntil([&] { return gtk_window_is_active(window) == TRUE; }, std::chrono::milliseconds(200));
  }
  return true;
}

nlohmann::json evaluate(WebKitWebView* webView, const std::string& script) {
  struct Result {
    bool done = false;
    nlohmann::json value;
  };
  // Shared with the callback: an answer after the time-out must find it still there.
  auto result = std::make_shared<Result>();
  webkit_web_view_evaluate_javascript(
      webView, script.c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* async, gpointer data) {
        std::unique_ptr<std::shared_ptr<Result>> holder(
            static_cast<std::shared_ptr<Result>*>(data));
        Result& result = **holder;
        JSCValue* value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), async, nullptr);
        if (value && !jsc_value_is_undefined(value)) {
          GCharPtr json(jsc_value_to_json(value, 0));
          if (json)
            result.value = nlohmann::json::parse(json.get(), nullptr, false);
        }
        if (value)
          g_object_unref(value);
        result.done = true;
      },
      new std::shared_ptr<Result>(result));
  spinUntil([&] { return result->done; }, std::chrono::seconds(10));
  return result->done ? result->value : nlohmann::json();
}

bool waitFor(WebKitWebView* webView, const std::string& script, std::chrono::milliseconds timeout) {
  return spinUntil([&] { return evaluate(webView, script) == true; }, timeout);
}

bool Rgba::near(const Rgba& other, int tolerance) const {
  return std::abs(r - other.r) <= tolerance && std::abs(g - other.g) <= tolerance &&
         std::abs(b - other.b) <= tolerance && std::abs(a - other.a) <= tolerance;
}

void PrintTo(const Rgba& colour, std::ostream* out) {
  *out << "rgba(" << colour.r << ", " << colour.g << ", " << colour.b << ", " << colour.a << ")";
}

WidgetPixels::WidgetPixels(int width, int height, std::size_t stride,
                           std::vector<std::uint8_t> bytes)
    : width_(width), height_(height), stride_(stride), bytes_(std::move(bytes)) {}

Rgba WidgetPixels::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_)
    throw std::out_of_range("pixel outside the picture");
  // The default download format is premultiplied B, G, R, A in memory order (little endian).
  const std::uint8_t* pixel =
      bytes_.data() + static_cast<std::size_t>(y) * stride_ + static_cast<std::size_t>(x) * 4;
  const int alpha = pixel[3];
  auto straight = [&](int channel) { return alpha == 0 ? 0 : (channel * 255 + alpha / 2) / alpha; };
  return Rgba{straight(pixel[2]), straight(pixel[1]), straight(pixel[0]), alpha};
}

std::filesystem::path WidgetPixels::save(const std::string& name) const {
  GBytes* raw = g_bytes_new(bytes_.data(), bytes_.size());
  auto texture =
      adoptObject(gdk_memory_texture_new(width_, height_, GDK_MEMORY_DEFAULT, raw, stride_));
  g_bytes_unref(raw);
  auto path = artifactsFolder() / (name + ".png");
  if (!gdk_texture_save_to_png(texture.get(), path.c_str()))
    throw std::runtime_error("cannot write " + path.string());
  return path;
}

WidgetPixels renderWidget(GtkWidget* widget) {
  const int width = gtk_widget_get_width(widget);
  const int height = gtk_widget_get_height(widget);
  if (width <= 0 || height <= 0)
    throw std::runtime_error("the widget has no size yet");
  auto paintable = adoptObject(gtk_widget_paintable_new(widget));
  GtkSnapshot* snapshot = gtk_snapshot_new();
  gdk_paintable_snapshot(paintable.get(), snapshot, width, height);
  std::unique_ptr<GskRenderNode, RenderNodeUnref> node(gtk_snapshot_free_to_node(snapshot));
  if (!node)
    throw std::runtime_error("the widget drew nothing");

  std::unique_ptr<GskRenderer, GskRendererUnref> renderer;
  {
    GskRenderer* created = gsk_cairo_renderer_new();
    GtkNative* native = gtk_widget_get_native(widget);
    GError* error = nullptr;
    if (!gsk_renderer_realize(created, native ? gtk_native_get_surface(native) : nullptr, &error)) {
      GErrorPtr owned(error);
      g_object_unref(created);
      throw std::runtime_error(std::string("no renderer: ") + (owned ? owned->message : ""));
    }
    renderer.reset(created);
  }
  const graphene_rect_t viewport =
      GRAPHENE_RECT_INIT(0, 0, static_cast<float>(width), static_cast<float>(height));
  auto texture = adoptObject(gsk_renderer_render_texture(renderer.get(), node.get(), &viewport));
  const int textureWidth = gdk_texture_get_width(texture.get());
  const int textureHeight = gdk_texture_get_height(texture.get());
  const std::size_t stride = static_cast<std::size_t>(textureWidth) * 4;
  std::vector<std::uint8_t> bytes(stride * static_cast<std::size_t>(textureHeight));
  gdk_texture_download(texture.get(), bytes.data(), stride);
  return WidgetPixels(textureWidth, textureHeight, stride, std::move(bytes));
}

std::filesystem::path saveSnapshot(WebKitWebView* webView, const std::string& name) {
  struct Result {
    GdkTexture* texture = nullptr;
    bool finished = false;
  };
  // Shared with the callback: a snapshot that comes after the time-out must find it still there.
  auto result = std::make_shared<Result>();
  webkit_web_view_get_snapshot(
      webView, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
      [](GObject* source, GAsyncResult* asyncResult, gpointer data) {
        std::unique_ptr<std::shared_ptr<Result>> holder(
            static_cast<std::shared_ptr<Result>*>(data));
        Result& out = **holder;
        out.texture =
            webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), asyncResult, nullptr);
        out.finished = true;
      },
      new std::shared_ptr<Result>(result));
  if (!spinUntil([&] { return result->finished; }, std::chrono::seconds(20)) || !result->texture) {
    throw std::runtime_error("no snapshot of the web view");
  }
  auto texture = adoptObject(std::exchange(result->texture, nullptr));
  auto path = artifactsFolder() / (name + ".png");
  if (!gdk_texture_save_to_png(texture.get(), path.c_str())) {
    throw std::runtime_error("cannot write " + path.string());
  }
  return path;
}

}  // namespace orlith::testing
