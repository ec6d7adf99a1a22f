// Opens an address with the desktop's default handler for its scheme, synchronously, so the
// caller learns at once whether a handler started. The launch context (the display's, when
// there is one) carries the startup notification and activation token to the handler.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <string>

#include "base/UriOpener.h"
#include "platform/glib/GObjectPtr.h"

namespace orlith {

class UriLauncher final : public UriOpener {
 public:
  // Called at each open for a fresh context; it may give none.
  using ContextSource = std::function<GObjectPtr<GAppLaunchContext>()>;

  explicit UriLauncher(ContextSource contextSource = {});

  bool open(const std::string& uri) override;

  // `context` may be null. On failure, `error` (when given) receives GIO's reason.
  static bool launch(const std::string& uri, GAppLaunchContext* context,
                     std::string* error = nullptr);

 private:
  ContextSource contextSource_;
};

}  // namespace orlith
