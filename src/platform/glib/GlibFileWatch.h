// Tells when one file is created, changed, replaced or removed, on the main context. The folder
// is watched rather than the file, since a file replaced by a rename is a new file.
#pragma once

#include <gio/gio.h>

#include <filesystem>
#include <functional>
#include <string>

#include "platform/glib/GObjectPtr.h"

namespace orlith {

class GlibFileWatch {
 public:
  // `changed` runs on the thread-default main context of the caller and must not throw. A
  // folder that does not exist yet is watched for when it comes. Throws std::runtime_error when
  // the folder cannot be watched at all.
  GlibFileWatch(const std::filesystem::path& file, std::function<void()> changed);
  ~GlibFileWatch();
  GlibFileWatch(const GlibFileWatch&) = delete;
  GlibFileWatch& operator=(const GlibFileWatch&) = delete;

 private:
  static void onEvent(GFileMonitor*, GFile* file, GFile* otherFile, GFileMonitorEvent event,
                      gpointer self);

  std::string name_;
  std::function<void()> changed_;
  GObjectPtr<GFileMonitor> monitor_;
};

}  // namespace orlith
