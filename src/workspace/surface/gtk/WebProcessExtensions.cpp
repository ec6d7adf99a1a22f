// The extension folder is handed to the default web context's sandbox and loader once.
#include "workspace/surface/gtk/WebProcessExtensions.h"

#include <webkit/webkit.h>

#include <string>

#include "base/BundleInfo.h"

namespace orlith {
namespace {

bool installed = false;

void initializeExtensions(WebKitWebContext* context, gpointer folder) {
  webkit_web_context_set_web_process_extensions_directory(context,
                                                          static_cast<const char*>(folder));
}

}  // namespace

void WebProcessExtensions::install(const std::filesystem::path& folder) {
  if (installed)
    return;
  installed = true;
  WebKitWebContext* context = webkit_web_context_get_default();
  webkit_web_context_add_path_to_sandbox(context, folder.c_str(), TRUE);
  g_signal_connect_data(
      context, "initialize-web-process-extensions", G_CALLBACK(initializeExtensions),
      g_strdup(folder.c_str()), [](gpointer data, GClosure*) { g_free(data); }, GConnectFlags(0));
}

bool WebProcessExtensions::installFromBundle() {
  if (installed)
    return true;
  const auto& bundle = BundleInfo::main().bundlePath();
  if (bundle.empty())
    return false;
  std::filesystem::path folder = bundle / kBundleFolder;
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error))
    return false;
  install(folder);
  return true;
}

bool WebProcessExtensions::isInstalled() {
  return installed;
}

}  // namespace orlith
