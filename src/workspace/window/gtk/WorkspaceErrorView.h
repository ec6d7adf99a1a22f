// What a tab shows after a failed load: an offline or warning symbol, a title, a detail line
// and a Reload button, in a column at most 320 wide.
#pragma once

#include <gtkmm.h>

#include <functional>
#include <optional>
#include <string>

#include "workspace/window/WorkspaceContainerPresentation.h"
#include "workspace/window/gtk/WidthClamp.h"

namespace orlith {

class WorkspaceErrorView : public Gtk::Box {
 public:
  static constexpr int kMaximumWidth = 320;
  static constexpr int kPadding = 40;
  static constexpr int kButtonWidth = 160;

  explicit WorkspaceErrorView(std::function<void()> onRetry);

  void show(bool isOffline, const std::optional<std::string>& detail);

  const WorkspaceErrorContent& content() const { return content_; }
  Gtk::Label& title() { return title_; }
  Gtk::Label& detail() { return detail_; }
  Gtk::Button& reloadButton() { return reload_; }
  Gtk::Image& icon() { return icon_; }

 private:
  std::function<void()> onRetry_;
  WorkspaceErrorContent content_;
  Gtk::Box column_;
  Gtk::Image icon_;
  Gtk::Box texts_;
  Gtk::Label title_;
  Gtk::Label detail_;
  Gtk::Button reload_;
  // After the column: it goes first and hands the column back while the column still lives.
  WidthClamp clamp_;
};

}  // namespace orlith
