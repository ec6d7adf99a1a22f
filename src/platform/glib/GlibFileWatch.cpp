// A GIO folder monitor filtered to one name.
#include "platform/glib/GlibFileWatch.h"

#include <stdexcept>
#include <utility>

namespace orlith {

namespace {

bool named(GFile* file, const std::string& name) {
  if (file == nullptr)
    return false;
  GCharPtr base(g_file_get_basename(file));
  return base && name == base.get();
}

}  // namespace

GlibFileWatch::GlibFileWatch(const std::filesystem::path& file, std::function<void()> changed)
    : name_(file.filename().string()), changed_(std::move(changed)) {
  std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
  GObjectPtr<GFile> directory(g_file_new_for_path(folder.c_str()));
  GError* raw = nullptr;
  monitor_.reset(
      g_file_monitor_directory(directory.get(), G_FILE_MONITOR_WATCH_MOVES, nullptr, &raw));
  GErrorPtr error(raw);
  if (!monitor_)
    throw std::runtime_error("cannot watch " + folder.string() + ": " +
                             (error ? error->message : "unknown error"));
  g_signal_connect(monitor_.get(), "changed", G_CALLBACK(&GlibFileWatch::onEvent), this);
}

GlibFileWatch::~GlibFileWatch() {
  g_signal_handlers_disconnect_by_data(monitor_.get(), this);
  g_file_monitor_cancel(monitor_.get());
}

void GlibFileWatch::onEvent(GFileMonitor*, GFile* file, GFile* otherFile, GFileMonitorEvent event,
                            gpointer self) {
  auto* watch = static_cast<GlibFileWatch*>(self);
  if (event == G_FILE_MONITOR_EVENT_ATTRIBUTE_CHANGED || event == G_FILE_MONITOR_EVENT_PRE_UNMOUNT)
    return;
  // A rename onto the file names it as the other file.
  if (named(file, watch->name_) || named(otherFile, watch->name_))
    watch->changed_();
}

}  // namespace orlith
