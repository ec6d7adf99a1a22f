// Helpers for tests that drive real windows: fixed display settings, spinning the main loop until
// a condition or deadline, presenting a window and waiting for its first frame, scripts in a web
// view, and the pixels of a widget or a web view.
#pragma once

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace orlith::testing {

// The display's resolution every UI test measures against: 96 dots per inch, in 1/1024ths.
inline constexpr int kTestXftDpi = 98304;
inline constexpr const char* kTestFontName = "DejaVu Sans 11";

// Once, before any test: animations off and the test font, so sizes and frames are the same on
// every machine. Called by the UI tests' main after the toolkit started.
void applyTestSettings();

// Animations on, as people have them, for as long as it lives; off again after.
class AnimationsOn {
 public:
  AnimationsOn();
  ~AnimationsOn();
  AnimationsOn(const AnimationsOn&) = delete;
  AnimationsOn& operator=(const AnimationsOn&) = delete;
};

// Runs the default main context until `done` is true; false when the deadline passed first.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// Presents the window and returns once it has been laid out and drawn.
void presentAndWait(GtkWindow* window);
// Returns once the widget's frame clock has ticked (its next frame), throwing when that does not
// come within twenty seconds.
void waitForDraw(GtkWidget* widget);
// Makes the window the active one, presenting it again until it is: without a window manager
// the last window presented on the display is active, and UI tests run side by side on one
// display. False when it did not become active in time.
bool activate(GtkWindow* window, std::chrono::milliseconds timeout = std::chrono::seconds(5));

// The page world's value of `script` as JSON; null for undefined, a script error, or no answer
// within ten seconds.
nlohmann::json evaluate(WebKitWebView* webView, const std::string& script);
// Evaluates `script` until it gives true.
bool waitFor(WebKitWebView* webView, const std::string& script,
             std::chrono::milliseconds timeout = std::chrono::seconds(15));

struct Rgba {
  int r = 0;
  int g = 0;
  int b = 0;
  int a = 0;
  friend bool operator==(const Rgba&, const Rgba&) = default;
  // Every channel within `tolerance`.
  bool near(const Rgba& other, int tolerance = 3) const;
};
void PrintTo(const Rgba& colour, std::ostream* out);

// A widget drawn in this process, straight colour per pixel (not premultiplied).
class WidgetPixels {
 public:
  WidgetPixels(int width, int height, std::size_t stride, std::vector<std::uint8_t> bytes);
  int width() const { return width_; }
  int height() const { return height_; }
  // Throws std::out_of_range outside the picture.
  Rgba at(int x, int y) const;
  // Writes a PNG into the build's ui-artifacts folder, for a person to look at.
  std::filesystem::path save(const std::string& name) const;

 private:
  int width_;
  int height_;
  std::size_t stride_;
  std::vector<std::uint8_t> bytes_;  // premultiplied, in the toolkit's default memory order
};

// Draws the widget at its current size with the software renderer. The widget must have been
// laid out (presentAndWait on its window).
WidgetPixels renderWidget(GtkWidget* widget);

// Saves a PNG of the web view's visible part into the build's ui-artifacts folder.
std::filesystem::path saveSnapshot(WebKitWebView* webView, const std::string& name);

}  // namespace orlith::testing
