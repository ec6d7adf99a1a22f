// Helpers for tests that drive real windows: spin the main loop until a condition or deadline,
// and save what a web view shows.
#pragma once

#include <webkit/webkit.h>

#include <chrono>
#include <filesystem>
#include <functional>

namespace orlith::testing {

// Runs the default main context until `done` is true; false when the deadline passed first.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// Saves a PNG of the web view's visible part into the build's ui-artifacts folder.
std::filesystem::path saveSnapshot(WebKitWebView* webView, const std::string& name);

}  // namespace orlith::testing
