// The settings window: General (appearance, launch at login, diagnostics, update check, the
// account) and About (the mark, product line, version and the service's links). One window,
// 480 × 340, hidden on close and presented again later. Widgets bind to GeneralSettingsView.
#pragma once

#include <gtkmm.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "app/GeneralSettingsView.h"
#include "base/Observable.h"
#include "ui/OrlithMark.h"

namespace orlith {

class WorkspaceSession;

class SettingsWindow : public Gtk::Window {
 public:
  static constexpr int kWidth = 480;
  static constexpr int kHeight = 340;
  enum class Page { general, about };

  struct Dependencies {
    std::shared_ptr<GeneralSettingsView> view;
    WorkspaceSession& session;
    Preferences& preferences;
    std::function<void()> checkForUpdates;
    std::function<void(const std::string& uri)> openExternally;
    // The service's web origin, compiled in.
    std::string origin;
    std::string appVersion;
    std::string buildVersion;
  };

  explicit SettingsWindow(Dependencies dependencies);
  ~SettingsWindow() override;

  void showPage(Page page);
  Page page() const;

  // For tests and the shell: the bound controls.
  Gtk::Switch& loginItemSwitch() { return loginItemSwitch_; }
  Gtk::Label& loginItemErrorLabel() { return loginItemError_; }
  Gtk::Switch& diagnosticsSwitch() { return diagnosticsSwitch_; }
  Gtk::ToggleButton& appearanceButton(OrlithAppearancePreference preference);
  Gtk::Label& versionLabel() { return version_; }
  Gtk::Box& accountSection() { return account_; }
  Gtk::Label& accountEmail() { return accountEmail_; }
  GeneralSettingsView& view() { return *view_; }

 private:
  Gtk::Widget& buildGeneral();
  Gtk::Widget& buildAbout();
  void refresh();
  void refreshAccount();
  void refreshTitle();

  std::shared_ptr<GeneralSettingsView> view_;
  WorkspaceSession& session_;
  Preferences& preferences_;
  std::function<void()> checkForUpdates_;
  std::function<void(const std::string&)> openExternally_;
  std::string origin_;

  Gtk::Box outer_{Gtk::Orientation::VERTICAL, 0};
  Gtk::StackSwitcher switcher_;
  Gtk::Stack stack_;

  Gtk::Box general_{Gtk::Orientation::VERTICAL, 10};
  Gtk::Box appearanceRow_{Gtk::Orientation::HORIZONTAL, 12};
  Gtk::Label appearanceLabel_;
  Gtk::Box appearanceButtons_{Gtk::Orientation::HORIZONTAL, 0};
  std::array<Gtk::ToggleButton, 3> appearance_;
  Gtk::Box loginRow_{Gtk::Orientation::HORIZONTAL, 12};
  Gtk::Label loginLabel_;
  Gtk::Switch loginItemSwitch_;
  Gtk::Label loginItemError_;
  Gtk::Box diagnosticsRow_{Gtk::Orientation::HORIZONTAL, 12};
  Gtk::Label diagnosticsLabel_;
  Gtk::Switch diagnosticsSwitch_;
  Gtk::Label diagnosticsNote_;
  Gtk::Button checkForUpdates_Button_;
  Gtk::Box account_{Gtk::Orientation::VERTICAL, 6};
  Gtk::Label accountHeader_;
  Gtk::Box accountRow_{Gtk::Orientation::HORIZONTAL, 12};
  Gtk::Label accountLabel_;
  Gtk::Label accountEmail_;
  Gtk::Button signOut_;

  Gtk::Box about_{Gtk::Orientation::VERTICAL, 14};
  OrlithMark mark_{64};
  Gtk::Box productColumn_{Gtk::Orientation::VERTICAL, 4};
  Gtk::Label product_;
  Gtk::Label version_;
  Gtk::Box links_{Gtk::Orientation::HORIZONTAL, 16};
  std::array<Gtk::LinkButton, 3> linkButtons_;

  sigc::connection appearanceHandlers_[3];
  sigc::connection diagnosticsHandler_;
  ScopedConnection viewChanged_;
  ScopedConnection sessionChanged_;
  ScopedConnection preferenceChanged_;
};

}  // namespace orlith
