// Menu bar, actions, accelerators, settings, the install offer and reopen.
#include "app/gtk/ApplicationShell.h"

#include <algorithm>
#include <map>
#include <utility>

#include "app/gtk/InstallOfferAlert.h"
#include "app/gtk/MainWindow.h"
#include "base/BundleInfo.h"
#include "base/LocalizedStrings.h"
#include "base/MainQueue.h"
#include "base/WorkerPool.h"
#include "session/OrlithEnvironment.h"
#include "update/trust/UpdateLocations.h"
#include "workspace/window/WorkspaceSession.h"
#include "workspace/window/WorkspaceTabsModel.h"

namespace orlith {

namespace {

constexpr const char* kAppearanceAction = "appearance";
constexpr const char* kApplicationGroup = "app";
constexpr const char* kWindowGroup = "win";

Glib::ustring showTabAction(int number) {
  return "show-tab-" + std::to_string(number);
}

// The menu shows the first key of the item's accelerator, as the toolkit would for
// application accelerators.
Glib::RefPtr<Gio::MenuItem> withAccelerator(Glib::RefPtr<Gio::MenuItem> item,
                                            const std::string& action) {
  for (const auto& accelerator : ApplicationShell::accelerators()) {
    if (action == accelerator.action && !accelerator.keys.empty())
      item->set_attribute_value("accel",
                                Glib::Variant<Glib::ustring>::create(accelerator.keys.front()));
  }
  return item;
}

Glib::RefPtr<Gio::MenuItem> item(const std::string& key, const std::string& action) {
  return withAccelerator(Gio::MenuItem::create(localizedString(key), action), action);
}

// Every accelerator of the menu as the window's own shortcuts, seen before the focused widget
// (a page) as application accelerators are. An action the window lacks or that is disabled
// leaves the key to the focused widget.
Glib::RefPtr<Gtk::ShortcutController> menuShortcuts() {
  auto controller = Gtk::ShortcutController::create();
  controller->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  for (const auto& accelerator : ApplicationShell::accelerators()) {
    for (const auto& key : accelerator.keys)
      controller->add_shortcut(Gtk::Shortcut::create(Gtk::ShortcutTrigger::parse_string(key),
                                                     Gtk::NamedAction::create(accelerator.action)));
  }
  return controller;
}

// The stored raw choice; an unknown value checks no item.
Glib::ustring appearanceState(Preferences& preferences) {
  auto raw = preferences.string(std::string(AppearanceSettings::kPreferenceKey));
  if (!raw)
    return "system";
  return appearancePreferenceFromRaw(*raw) ? *raw : "";
}

GeneralSettingsView::RunOffMain workerRunner() {
  return [](std::function<GeneralSettingsView::LoginItemResult()> job,
            std::function<void(GeneralSettingsView::LoginItemResult)> done) {
    WorkerPool::shared().submit([job = std::move(job), done = std::move(done)] {
      GeneralSettingsView::LoginItemResult result{false, 3};
      try {
        result = job();
      } catch (const std::exception&) {
        // A status that cannot be read counts as unavailable.
      }
      if (MainQueue* queue = MainQueue::installed())
        queue->post([done, result] { done(result); });
    });
  };
}

}  // namespace

struct ApplicationShell::AttachedWindow {
  GObject* window = nullptr;
  std::shared_ptr<WorkspaceTabsModel> tabs;
  Glib::RefPtr<Gio::SimpleActionGroup> group;
  std::map<std::string, Glib::RefPtr<Gio::SimpleAction>> actions;
  ScopedConnection tabsChanged;
  ScopedConnection sessionChanged;

  void refresh(const WorkspaceCommands& commands) {
    const WorkspaceMenuState state = commands.menuState(tabs.get());
    auto set = [&](const char* name, bool enabled) { actions.at(name)->set_enabled(enabled); };
    set("new-tab", state.newTab);
    set("close-tab", state.closeTab);
    set("search", state.search);
    set("toggle-sidebar", state.toggleSidebar);
    set("next-tab", state.showNextTab);
    set("previous-tab", state.showPreviousTab);
    for (int number = 1; number <= 9; ++number)
      actions.at(showTabAction(number))
          ->set_enabled(state.showTab[static_cast<std::size_t>(number - 1)]);
    set("back", state.back);
    set("forward", state.forward);
    set("home", state.home);
    set("reload", state.reload);
    set("force-reload", state.forceReload);
    set("zoom-in", state.zoomIn);
    set("zoom-out", state.zoomOut);
    set("actual-size", state.actualSize);
  }
};

const std::vector<ApplicationShell::Accelerator>& ApplicationShell::accelerators() {
  static const std::vector<Accelerator> table = {
      {"app.preferences", {"<Control>comma"}},
      {"app.new-window", {"<Control>n"}},
      {"app.quit", {"<Control>q"}},
      {"win.new-tab", {"<Control>t"}},
      {"win.close-tab", {"<Control>w"}},
      {"win.search", {"<Control>k"}},
      {"win.toggle-sidebar", {"<Control>backslash"}},
      {"win.next-tab", {"<Control><Shift>bracketright", "<Control>braceright"}},
      {"win.previous-tab", {"<Control><Shift>bracketleft", "<Control>braceleft"}},
      {"win.show-tab-1", {"<Control>1"}},
      {"win.show-tab-2", {"<Control>2"}},
      {"win.show-tab-3", {"<Control>3"}},
      {"win.show-tab-4", {"<Control>4"}},
      {"win.show-tab-5", {"<Control>5"}},
      {"win.show-tab-6", {"<Control>6"}},
      {"win.show-tab-7", {"<Control>7"}},
      {"win.show-tab-8", {"<Control>8"}},
      {"win.show-tab-9", {"<Control>9"}},
      {"win.back", {"<Control>bracketleft"}},
      {"win.forward", {"<Control>bracketright"}},
      {"win.home", {"<Control><Shift>h"}},
      {"win.reload", {"<Control>r"}},
      {"win.force-reload", {"<Control><Shift>r"}},
      {"win.zoom-in", {"<Control>plus", "<Control>equal", "<Control>KP_Add"}},
      {"win.zoom-out", {"<Control>minus", "<Control>KP_Subtract"}},
      {"win.actual-size", {"<Control>0"}},
      {"win.fullscreen", {"F11"}},
  };
  return table;
}

ApplicationShell::ApplicationShell(Gtk::Application& application, ApplicationContext& context,
                                   Options options)
    : application_(application),
      context_(context),
      options_(std::move(options)),
      commands_({*context.workspaceSession(), context.preferences(), context.appearance(),
                 context.updates(),
                 [&context](const std::string& uri) { context.openExternally(uri); },
                 [this] {
                   if (options_.openWindow)
                     options_.openWindow();
                 },
                 [](std::function<void()> work) { MainQueue::shared().post(std::move(work)); }}),
      activityCheck_([this] { windowActivityChanged(); }) {
  delegate_ = std::make_unique<AppDelegate>(AppDelegate::Dependencies{
      context.updates(), context.preferences(), options_.bundlePath, UpdateLocations::system(),
      [this](const InstallOffer& offer, std::function<void(InstallOfferResponse, bool)> done) {
        presentOffer(offer, std::move(done));
      },
      options_.revealInFiles});
}

ApplicationShell::~ApplicationShell() {
  for (const auto& window : windows_)
    g_object_weak_unref(window->window, &ApplicationShell::windowGone, this);
  windows_.clear();
}

void ApplicationShell::startup() {
  // Only Quit ends the app: closing the last window leaves it running.
  application_.hold();
  delegate_->noteInstallLocation();
  installApplicationActions();
  application_.signal_window_added().connect([this](Gtk::Window* window) {
    window->property_is_active().signal_changed().connect([this] { activityCheck_.schedule(); });
  });
  // One turn later: the first window exists by then, and the offer is transient for it.
  Glib::signal_idle().connect_once([this] { delegate_->deliverInstallDecision(); });
}

void ApplicationShell::installApplicationActions() {
  appActions_ = Gio::SimpleActionGroup::create();
  appActions_->add_action("check-for-updates", [this] { commands_.checkForUpdates(); });
  signOut_ = appActions_->add_action("sign-out", [this] { commands_.signOut(); });
  appActions_->add_action("help", [this] { commands_.openHelp(); });
  appActions_->add_action("preferences", [this] { showSettings(SettingsWindow::Page::general); });
  appActions_->add_action("about", [this] { showSettings(SettingsWindow::Page::about); });
  appActions_->add_action("new-window", [this] {
    if (options_.openWindow)
      options_.openWindow();
  });
  appActions_->add_action("quit", [this] { application_.quit(); });
  appearance_ = Gio::SimpleAction::create_radio_string(kAppearanceAction,
                                                       appearanceState(context_.preferences()));
  // The choice is stored; the state follows the stored value, so a refused write checks
  // nothing new.
  appearance_->signal_change_state().connect([this](const Glib::VariantBase& value) {
    const auto raw = Glib::VariantBase::cast_dynamic<Glib::Variant<Glib::ustring>>(value).get();
    if (auto preference = appearancePreferenceFromRaw(raw.raw()))
      commands_.setAppearance(*preference);
  });
  appActions_->add_action(appearance_);
  preferenceChanged_ = context_.preferences().changed().connect([this](const std::string& key) {
    if (key == AppearanceSettings::kPreferenceKey)
      appearance_->set_state(
          Glib::Variant<Glib::ustring>::create(appearanceState(context_.preferences())));
  });
  sessionChanged_ = context_.workspaceSession()->changed().connect([this] {
    refreshApplicationActions();
    for (const auto& window : windows_)
      window->refresh(commands_);
  });
  refreshApplicationActions();

  menuBar_ = Gio::Menu::create();
  auto appMenu = Gio::Menu::create();
  auto about = Gio::Menu::create();
  about->append_item(item("About Orlith", "app.about"));
  appMenu->append_section(about);
  auto updates = Gio::Menu::create();
  updates->append_item(item("Check for Updates…", "app.check-for-updates"));
  appMenu->append_section(updates);
  auto settings = Gio::Menu::create();
  settings->append_item(item("Settings…", "app.preferences"));
  appMenu->append_section(settings);
  auto account = Gio::Menu::create();
  account->append_item(item("Sign Out", "app.sign-out"));
  appMenu->append_section(account);
  auto quit = Gio::Menu::create();
  quit->append_item(item("Quit", "app.quit"));
  appMenu->append_section(quit);
  menuBar_->append_submenu(localizedString("Orlith"), appMenu);

  auto file = Gio::Menu::create();
  file->append_item(item("New Window", "app.new-window"));
  file->append_item(item("New Tab", "win.new-tab"));
  file->append_item(item("Close Tab", "win.close-tab"));
  menuBar_->append_submenu(localizedString("File"), file);

  auto workspace = Gio::Menu::create();
  auto search = Gio::Menu::create();
  search->append_item(item("Search Orlith", "win.search"));
  search->append_item(item("Toggle Sidebar", "win.toggle-sidebar"));
  workspace->append_section(search);
  auto switching = Gio::Menu::create();
  switching->append_item(item("Show Next Tab", "win.next-tab"));
  switching->append_item(item("Show Previous Tab", "win.previous-tab"));
  // The numbered titles are plain text, shown as they are.
  for (int number = 1; number <= 9; ++number)
    switching->append_item(
        withAccelerator(Gio::MenuItem::create(WorkspaceCommands::showTabTitle(number),
                                              "win." + showTabAction(number)),
                        "win." + showTabAction(number)));
  workspace->append_section(switching);
  auto navigation = Gio::Menu::create();
  navigation->append_item(item("Back", "win.back"));
  navigation->append_item(item("Forward", "win.forward"));
  navigation->append_item(item("Home", "win.home"));
  workspace->append_section(navigation);
  auto reload = Gio::Menu::create();
  reload->append_item(item("Reload", "win.reload"));
  reload->append_item(item("Force Reload", "win.force-reload"));
  workspace->append_section(reload);
  menuBar_->append_submenu(localizedString("Workspace"), workspace);

  auto view = Gio::Menu::create();
  auto zoom = Gio::Menu::create();
  zoom->append_item(item("Zoom In", "win.zoom-in"));
  zoom->append_item(item("Zoom Out", "win.zoom-out"));
  zoom->append_item(item("Actual Size", "win.actual-size"));
  view->append_section(zoom);
  auto appearance = Gio::Menu::create();
  auto choices = Gio::Menu::create();
  const char* names[] = {"System", "Light", "Dark"};
  for (std::size_t index = 0; index < kAllAppearancePreferences.size(); ++index) {
    auto choice = Gio::MenuItem::create(names[index], "");
    choice->set_action_and_target(std::string("app.") + kAppearanceAction,
                                  Glib::Variant<Glib::ustring>::create(
                                      std::string(rawValue(kAllAppearancePreferences[index]))));
    choices->append_item(choice);
  }
  appearance->append_submenu(localizedString("Appearance"), choices);
  view->append_section(appearance);
  auto screen = Gio::Menu::create();
  screen->append_item(item("Full Screen", "win.fullscreen"));
  view->append_section(screen);
  menuBar_->append_submenu(localizedString("View"), view);

  auto help = Gio::Menu::create();
  help->append_item(item("Orlith Help", "app.help"));
  menuBar_->append_submenu(localizedString("Help"), help);
}

void ApplicationShell::refreshApplicationActions() {
  signOut_->set_enabled(commands_.menuState(nullptr).signOut);
}

void ApplicationShell::equipWindow(Gtk::Window& window) {
  window.insert_action_group(kApplicationGroup, appActions_);
  window.add_controller(menuShortcuts());
}

Glib::RefPtr<Gio::SimpleActionGroup> ApplicationShell::windowActions(
    const Gtk::Window& window) const {
  for (const auto& attached : windows_) {
    if (attached->window == G_OBJECT(window.gobj()))
      return attached->group;
  }
  return {};
}

void ApplicationShell::attachWindow(MainWindow& window) {
  equipWindow(window);
  window.setMenuModel(menuBar_);
  auto attached = std::make_unique<AttachedWindow>();
  attached->window = G_OBJECT(window.gobj());
  attached->tabs = window.tabs();
  attached->group = Gio::SimpleActionGroup::create();
  Gio::SimpleActionGroup& group = *attached->group;
  // The actions hold the model, not the window: a key that arrives while the window goes
  // away acts on a model that still exists.
  std::weak_ptr<WorkspaceTabsModel> weak = attached->tabs;
  auto add = [&](const std::string& name, std::function<void(WorkspaceTabsModel*)> act) {
    auto action = group.add_action(name, [weak, act = std::move(act)] {
      if (auto tabs = weak.lock())
        act(tabs.get());
    });
    attached->actions[name] = action;
  };
  WorkspaceCommands& c = commands_;
  add("new-tab", [&c](WorkspaceTabsModel* t) { c.newTab(t); });
  add("close-tab", [&c](WorkspaceTabsModel* t) { c.closeTab(t); });
  add("search", [&c](WorkspaceTabsModel* t) { c.search(t); });
  add("toggle-sidebar", [&c](WorkspaceTabsModel* t) { c.toggleSidebar(t); });
  add("next-tab", [&c](WorkspaceTabsModel* t) { c.selectAdjacentTab(t, 1); });
  add("previous-tab", [&c](WorkspaceTabsModel* t) { c.selectAdjacentTab(t, -1); });
  for (int number = 1; number <= 9; ++number)
    add(showTabAction(number), [&c, number](WorkspaceTabsModel* t) { c.showTab(t, number); });
  add("back", [&c](WorkspaceTabsModel* t) { c.goBack(t); });
  add("forward", [&c](WorkspaceTabsModel* t) { c.goForward(t); });
  add("home", [&c](WorkspaceTabsModel* t) { c.home(t); });
  add("reload", [&c](WorkspaceTabsModel* t) { c.reload(t); });
  add("force-reload", [&c](WorkspaceTabsModel* t) { c.forceReload(t); });
  add("zoom-in", [&c](WorkspaceTabsModel* t) { c.zoom(t, WorkspaceCommands::kZoomInFactor); });
  add("zoom-out", [&c](WorkspaceTabsModel* t) { c.zoom(t, WorkspaceCommands::kZoomOutFactor); });
  add("actual-size", [&c](WorkspaceTabsModel* t) { c.resetZoom(t); });
  group.add_action("fullscreen", sigc::track_obj(
                                     [&window] {
                                       if (window.is_fullscreen())
                                         window.unfullscreen();
                                       else
                                         window.fullscreen();
                                     },
                                     window));
  window.insert_action_group(kWindowGroup, attached->group);

  AttachedWindow* raw = attached.get();
  attached->tabsChanged =
      attached->tabs->changed().connect([this, raw] { raw->refresh(commands_); });
  raw->refresh(commands_);
  windows_.push_back(std::move(attached));
  g_object_weak_ref(raw->window, &ApplicationShell::windowGone, this);
}

void ApplicationShell::windowGone(gpointer self, GObject* gone) {
  std::erase_if(static_cast<ApplicationShell*>(self)->windows_,
                [gone](const auto& window) { return window->window == gone; });
}

Gtk::Window* ApplicationShell::firstMainWindow() const {
  auto all = application_.get_windows();
  // The toolkit lists the most recently focused first.
  for (auto it = all.rbegin(); it != all.rend(); ++it) {
    Gtk::Window* window = *it;
    const bool main = std::any_of(windows_.begin(), windows_.end(), [window](const auto& w) {
      return w->window == G_OBJECT(window->gobj());
    });
    if (main && window->get_visible())
      return window;
  }
  return nullptr;
}

void ApplicationShell::reopen() {
  auto all = application_.get_windows();
  // Least recently focused first, so the most recent one ends on top.
  std::reverse(all.begin(), all.end());
  std::vector<ReopenWindow> described;
  for (Gtk::Window* window : all) {
    ReopenWindow entry;
    const bool main = std::any_of(windows_.begin(), windows_.end(), [window](const auto& w) {
      return w->window == G_OBJECT(window->gobj());
    });
    entry.kind = main                        ? ReopenWindow::Kind::main
                 : window == settings_.get() ? ReopenWindow::Kind::settings
                                             : ReopenWindow::Kind::other;
    entry.visible = window->get_visible();
    if (auto toplevel = std::dynamic_pointer_cast<Gdk::Toplevel>(window->get_surface()))
      entry.minimized = (toplevel->get_state() & Gdk::Toplevel::State::MINIMIZED) ==
                        Gdk::Toplevel::State::MINIMIZED;
    described.push_back(entry);
  }
  const ReopenPlan plan = AppDelegate::planReopen(described);
  for (std::size_t index : plan.present)
    all[index]->present();
  if (plan.openWindow && options_.openWindow)
    options_.openWindow();
}

void ApplicationShell::showSettings(SettingsWindow::Page page) {
  if (!settings_) {
    settingsView_ = GeneralSettingsView::create(
        {*context_.workspaceSession(), context_.preferences(), context_.appearance(),
         options_.loginItem, workerRunner(), [this] { context_.diagnostics().cancelAll(); }});
    const BundleInfo& bundle = BundleInfo::main();
    settings_ = std::make_unique<SettingsWindow>(SettingsWindow::Dependencies{
        settingsView_, *context_.workspaceSession(), context_.preferences(),
        [this] { commands_.checkForUpdates(); },
        [this](const std::string& uri) { context_.openExternally(uri); },
        ServiceHosts::fromBuild().originText, bundle.appVersion(), bundle.buildVersion()});
    application_.add_window(*settings_);
    equipWindow(*settings_);
  }
  settings_->showPage(page);
  settings_->present();
}

void ApplicationShell::presentOffer(const InstallOffer& offer,
                                    std::function<void(InstallOfferResponse, bool)> done) {
  offer_ = std::make_unique<InstallOfferAlert>(
      offer, [this, done = std::move(done)](InstallOfferResponse response, bool suppress) {
        // The window is dropped one turn later, outside its own handler.
        MainQueue::shared().post([this] { offer_.reset(); });
        done(response, suppress);
      });
  equipWindow(*offer_);
  if (Gtk::Window* parent = firstMainWindow())
    offer_->set_transient_for(*parent);
  offer_->present();
}

void ApplicationShell::windowActivityChanged() {
  bool any = false;
  for (Gtk::Window* window : application_.get_windows())
    any = any || window->is_active();
  if (any && !anyWindowActive_ && settingsView_)
    settingsView_->applicationDidBecomeActive();
  anyWindowActive_ = any;
}

}  // namespace orlith
