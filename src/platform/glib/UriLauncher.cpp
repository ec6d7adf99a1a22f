// Synchronous launch through g_app_info_launch_default_for_uri.
#include "platform/glib/UriLauncher.h"

namespace orlith {

UriLauncher::UriLauncher(ContextSource contextSource) : contextSource_(std::move(contextSource)) {}

bool UriLauncher::open(const std::string& uri) {
  GObjectPtr<GAppLaunchContext> context;
  if (contextSource_)
    context = contextSource_();
  return launch(uri, context.get());
}

bool UriLauncher::launch(const std::string& uri, GAppLaunchContext* context, std::string* error) {
  GError* raw = nullptr;
  const bool launched = g_app_info_launch_default_for_uri(uri.c_str(), context, &raw) != FALSE;
  GErrorPtr failure(raw);
  if (!launched && error != nullptr)
    *error = failure ? failure->message : "no handler";
  return launched;
}

}  // namespace orlith
