// The workspace chrome on the real toolkit: where every control sits in a 1180 px window, the
// strip's widths and its scrolling row, the bar's colours, and the account menu's states.
#include <gmock/gmock.h>
#include <gtk/gtk.h>
#include <gtkmm.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "UiHarness.h"
#include "base/NotificationHub.h"
#include "support/FakeBeep.h"
#include "support/FakePreferences.h"
#include "support/FakeWebEngineView.h"
#include "support/FakeWorkspaceSession.h"
#include "support/ManualTime.h"
#include "support/SequentialUuidSource.h"
#include "workspace/surface/AppearanceEnvironment.h"
#include "workspace/surface/PendingWorkspaceWindowCommands.h"
#include "workspace/window/ClaimedRecoveryWindows.h"
#include "workspace/window/gtk/WorkspaceChrome.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

struct Bounds {
  double x = 0, y = 0, width = 0, height = 0;
  double right() const { return x + width; }
  double bottom() const { return y + height; }
  double centre() const { return x + width / 2; }
};

Bounds boundsIn(Gtk::Widget& widget, Gtk::Widget& target) {
  graphene_rect_t rect;
  EXPECT_TRUE(gtk_widget_compute_bounds(widget.gobj(), target.gobj(), &rect));
  return {rect.origin.x, rect.origin.y, rect.size.width, rect.size.height};
}

int greyAt(Gtk::Widget& widget, int x, int y) {
  return testing::renderWidget(widget.Gtk::Widget::gobj()).at(x, y).g;
}

struct Calls {
  std::vector<std::string> selected, closed;
  int newTabs = 0, searches = 0, signOuts = 0, menuOpenings = 0;
};

std::vector<WorkspaceTabStripItem> tabs(int count) {
  std::vector<WorkspaceTabStripItem> items;
  for (int i = 0; i < count; ++i)
    items.push_back({"T" + std::to_string(i), "Tab " + std::to_string(i)});
  return items;
}

WorkspaceChromeSnapshot snapshotOf(int count, int selected, WorkspaceChromeInputs inputs = {}) {
  inputs.tabCount = static_cast<std::size_t>(count);
  return {tabs(count), "T" + std::to_string(selected), WorkspaceChromeState::from(inputs)};
}

class WorkspaceChromeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The bar's own widths: no window buttons take a place in it (where they stand is the
    // window's tests' business).
    g_object_set(gtk_settings_get_default(), "gtk-decoration-layout", "", nullptr);
    WorkspaceChrome::Actions actions;
    actions.selectTab = [this](const std::string& id) { calls_.selected.push_back(id); };
    actions.closeTab = [this](const std::string& id) { calls_.closed.push_back(id); };
    actions.newTab = [this] { ++calls_.newTabs; };
    actions.search = [this] { ++calls_.searches; };
    actions.signOut = [this] { ++calls_.signOuts; };
    actions.accountMenuOpening = [this] { ++calls_.menuOpenings; };
    chrome_ = std::make_unique<WorkspaceChrome>(actions);
    filler_.set_vexpand(true);
    content_.append(*chrome_);
    content_.append(filler_);
    window_.set_child(content_);
    window_.set_default_size(1180, 300);
    window_.set_resizable(false);
  }

  void TearDown() override {
    window_.unset_child();
    content_.remove(*chrome_);
    chrome_.reset();
    window_.destroy();
  }

  void show(const WorkspaceChromeSnapshot& snapshot) {
    chrome_->update(snapshot);
    testing::presentAndWait(window_.gobj());
    settle();
  }

  // Lets layout and drawing catch up.
  void settle() {
    // The bar's own width: its bounds include the trailing padding.
    ASSERT_TRUE(
        testing::spinUntil([&] { return boundsIn(*chrome_, content_).width == 1180; }, 10s));
    testing::waitForDraw(GTK_WIDGET(window_.gobj()));
    testing::spinUntil([&] { return !chrome_->tabStrip().isAnimating(); }, 2s);
    while (g_main_context_pending(nullptr))
      g_main_context_iteration(nullptr, FALSE);
    // Work done meanwhile (the chips learning their width) takes one more frame to show.
    testing::waitForDraw(GTK_WIDGET(window_.gobj()));
  }

  Bounds of(Gtk::Widget& widget) { return boundsIn(widget, *chrome_); }

  bool actionEnabled(const char* name) {
    return g_action_group_get_action_enabled(G_ACTION_GROUP(chrome_->actionGroup()->gobj()), name);
  }

  Calls calls_;
  Gtk::Window window_;
  Gtk::Box content_{Gtk::Orientation::VERTICAL};
  Gtk::Box filler_;
  std::unique_ptr<WorkspaceChrome> chrome_;
};

void expectSpan(const Bounds& bounds, double x, double right, const char* what) {
  EXPECT_NEAR(bounds.x, x, 1) << what;
  EXPECT_NEAR(bounds.right(), right, 1) << what;
}

TEST_F(WorkspaceChromeTest, PlacesEveryControlAcrossA1180PixelWindow) {
  show(snapshotOf(1, 0));
  EXPECT_EQ(boundsIn(*chrome_, content_).height, 34);
  expectSpan(of(chrome_->navCluster().backButton()), 78, 104, "back");
  expectSpan(of(chrome_->navCluster().forwardButton()), 106, 132, "forward");
  expectSpan(of(chrome_->navCluster().reloadButton()), 134, 160, "reload");
  expectSpan(of(chrome_->indicator()), 164, 190, "indicator");
  expectSpan(of(chrome_->leadingSeparator()), 196, 197, "first separator");
  expectSpan(of(chrome_->tabStrip()), 203, 1099, "strip");
  expectSpan(of(chrome_->trailingSeparator()), 1105, 1106, "second separator");
  expectSpan(of(chrome_->searchButton()), 1112, 1138, "search");
  expectSpan(of(chrome_->accountMenu()), 1140, 1170, "account");
  EXPECT_NEAR(of(chrome_->leadingSeparator()).height, 18, 0.5);

  Gtk::Widget* chip = chrome_->tabStrip().chip("T0");
  ASSERT_NE(chip, nullptr);
  const Bounds chipBounds = of(*chip);
  expectSpan(chipBounds, 207, 367, "single chip");
  EXPECT_NEAR(chipBounds.y, 4, 0.5);
  EXPECT_NEAR(chipBounds.bottom(), 30, 0.5);
  expectSpan(of(chrome_->tabStrip().newTabButton()), 371, 399, "new-tab button");
  EXPECT_NEAR(of(chrome_->tabStrip().newTabButton()).y, 4, 0.5);

  testing::renderWidget(GTK_WIDGET(chrome_->gobj())).save("workspace-chrome-one-tab");
}

TEST_F(WorkspaceChromeTest, TenTabsShareTheStripAndElevenScrollWithTheSelectionCentred) {
  show(snapshotOf(10, 0));
  EXPECT_FALSE(chrome_->tabStrip().overflows());
  double previousRight = 0;
  for (int i = 0; i < 10; ++i) {
    const Bounds chip = of(*chrome_->tabStrip().chip("T" + std::to_string(i)));
    EXPECT_NEAR(chip.width, 82.8, 1) << i;
    if (i > 0) {
      EXPECT_NEAR(chip.x - previousRight, 4, 1) << i;
    }
    previousRight = chip.right();
  }

  chrome_->update(snapshotOf(11, 5));
  settle();
  ASSERT_TRUE(chrome_->tabStrip().overflows());
  Gtk::Widget& area = chrome_->tabStrip().chipArea();
  const Bounds viewport = of(area);
  expectSpan(viewport, 207, 1063, "scrolling viewport");
  EXPECT_EQ(gtk_widget_get_overflow(area.gobj()), GTK_OVERFLOW_HIDDEN);
  EXPECT_NEAR(of(*chrome_->tabStrip().chip("T5")).centre(), viewport.centre(), 1);
  EXPECT_NEAR(of(*chrome_->tabStrip().chip("T5")).width, 80, 0.5);
  expectSpan(of(chrome_->tabStrip().newTabButton()), 1067, 1095, "new-tab button after the row");
  testing::renderWidget(GTK_WIDGET(chrome_->gobj())).save("workspace-chrome-eleven-tabs");

  // A later selection scrolls as far as the end allows.
  chrome_->update(snapshotOf(11, 10));
  settle();
  EXPECT_DOUBLE_EQ(chrome_->tabStrip().scrollOffset(), 64);
  EXPECT_NEAR(of(*chrome_->tabStrip().chip("T10")).right(), viewport.right(), 1);
}

TEST_F(WorkspaceChromeTest, ScrollingRowMovesWithTheWheelWithinItsEnds) {
  show(snapshotOf(20, 0));
  ASSERT_TRUE(chrome_->tabStrip().overflows());
  EXPECT_DOUBLE_EQ(chrome_->tabStrip().scrollOffset(), 0);
  // The wheel reaches the strip through its scroll controller.
  auto* controller = [&]() -> GtkEventController* {
    GListModel* controllers = gtk_widget_observe_controllers(chrome_->tabStrip().chipArea().gobj());
    GtkEventController* found = nullptr;
    for (guint i = 0; i < g_list_model_get_n_items(controllers) && !found; ++i) {
      auto* item = static_cast<GtkEventController*>(g_list_model_get_item(controllers, i));
      if (GTK_IS_EVENT_CONTROLLER_SCROLL(item))
        found = item;
      g_object_unref(item);
    }
    g_object_unref(controllers);
    return found;
  }();
  ASSERT_NE(controller, nullptr);
  gboolean handled = FALSE;
  g_signal_emit_by_name(controller, "scroll", 0.0, 3.0, &handled);
  EXPECT_TRUE(handled);
  settle();
  EXPECT_GT(chrome_->tabStrip().scrollOffset(), 0);
  g_signal_emit_by_name(controller, "scroll", 0.0, -100.0, &handled);
  settle();
  EXPECT_DOUBLE_EQ(chrome_->tabStrip().scrollOffset(), 0);
}

TEST_F(WorkspaceChromeTest, ChipsAndTheNewTabButtonReachTheirActions) {
  show(snapshotOf(2, 0));
  // A real pick at the title's place, as a click would land.
  const Bounds second = of(*chrome_->tabStrip().chip("T1"));
  GtkWidget* picked = gtk_widget_pick(GTK_WIDGET(chrome_->gobj()), second.x + 20,
                                      second.y + second.height / 2, GTK_PICK_DEFAULT);
  ASSERT_NE(picked, nullptr);
  EXPECT_TRUE(gtk_widget_is_ancestor(picked, chrome_->tabStrip().chip("T1")->gobj()));

  g_signal_emit_by_name(chrome_->tabStrip().newTabButton().gobj(), "clicked");
  EXPECT_EQ(calls_.newTabs, 1);

  chrome_->update(snapshotOf(20, 0));
  settle();
  EXPECT_FALSE(chrome_->tabStrip().newTabButton().get_sensitive());
  EXPECT_EQ(chrome_->tabStrip().newTabButton().get_tooltip_text(), "Maximum 20 tabs");
  chrome_->update(snapshotOf(19, 0));
  settle();
  EXPECT_TRUE(chrome_->tabStrip().newTabButton().get_sensitive());
  EXPECT_EQ(chrome_->tabStrip().newTabButton().get_tooltip_text(), "New tab");

  g_signal_emit_by_name(chrome_->searchButton().gobj(), "clicked");
  EXPECT_EQ(calls_.searches, 1);
}

TEST_F(WorkspaceChromeTest, BarColoursFollowAppearanceAndWindowActivity) {
  show(snapshotOf(1, 0));
  // Inside the empty leading slot: only the bar's background. Other tests' windows share the
  // display and may take the activity at any time: a probe counts only when the window's
  // activity was as wanted before and after it.
  const auto probe = [&](bool active) -> std::optional<int> {
    for (int attempt = 0; attempt < 10; ++attempt) {
      if (active)
        testing::activate(window_.gobj());
      settle();
      if ((gtk_window_is_active(window_.gobj()) != FALSE) != active)
        continue;
      const int grey = greyAt(*chrome_, 40, 17);
      if ((gtk_window_is_active(window_.gobj()) != FALSE) == active)
        return grey;
    }
    return std::nullopt;
  };
  EXPECT_THAT(probe(true),
              ::testing::Optional(::testing::AllOf(::testing::Ge(239), ::testing::Le(245))));
  chrome_->setDark(true);
  EXPECT_THAT(probe(true),
              ::testing::Optional(::testing::AllOf(::testing::Ge(27), ::testing::Le(33))));
  testing::renderWidget(GTK_WIDGET(chrome_->gobj())).save("workspace-chrome-dark");

  // Without a window manager the last presented window is the active one.
  Gtk::Window other;
  other.set_default_size(100, 100);
  testing::presentAndWait(other.gobj());
  ASSERT_TRUE(testing::spinUntil([&] { return !gtk_window_is_active(window_.gobj()); }, 10s));
  EXPECT_THAT(probe(false),
              ::testing::Optional(::testing::AllOf(::testing::Ge(33), ::testing::Le(39))));
  chrome_->setDark(false);
  EXPECT_THAT(probe(false),
              ::testing::Optional(::testing::AllOf(::testing::Ge(243), ::testing::Le(249))));
  other.destroy();
}

TEST_F(WorkspaceChromeTest, ToolButtonsTakeTheHoverFillOnlyWhenEnabled) {
  show(snapshotOf(1, 0));  // forward is disabled, search enabled
  Gtk::Button& forward = chrome_->navCluster().forwardButton();
  Gtk::Button& search = chrome_->searchButton();
  forward.set_state_flags(Gtk::StateFlags::PRELIGHT, false);
  search.set_state_flags(Gtk::StateFlags::PRELIGHT, false);
  settle();
  // Near the left edge, clear of the symbol: black at 0.06 over the bar. The bar's own grey is
  // read beside it, since other tests' windows may change this one's activity.
  const auto at = [&](Gtk::Widget& button) {
    const Bounds bounds = of(button);
    return greyAt(*chrome_, static_cast<int>(bounds.x) + 3,
                  static_cast<int>(bounds.y + bounds.height / 2));
  };
  const int bar = greyAt(*chrome_, 40, 17);
  EXPECT_NEAR(at(search), bar * 0.94, 3);
  EXPECT_NEAR(at(forward), bar, 3);
}

// Animations on for one test; the harness keeps them off elsewhere.
class AnimatedChromeTest : public WorkspaceChromeTest {
 protected:
  // Before the base's set-up and after its tear-down.
  const testing::AnimationsOn animations_;

  // The widths `widget` takes on its way, frame by frame, until `done`.
  std::vector<double> widthsUntil(Gtk::Widget& widget, const std::function<bool()>& done) {
    std::vector<double> widths;
    testing::spinUntil(
        [&] {
          widths.push_back(of(widget).width);
          return done();
        },
        5s);
    return widths;
  }
};

TEST_F(AnimatedChromeTest, TabCountAndFullScreenChangesMoveThroughIntermediateFrames) {
  show(snapshotOf(1, 0));
  Gtk::Widget& chip = *chrome_->tabStrip().chip("T0");
  chrome_->update(snapshotOf(10, 9));
  auto widths = widthsUntil(chip, [&] { return !chrome_->tabStrip().isAnimating(); });
  EXPECT_NEAR(of(chip).width, 82.8, 1);
  EXPECT_TRUE(
      std::any_of(widths.begin(), widths.end(), [](double w) { return w > 90 && w < 150; }));

  Gtk::Widget& back = chrome_->navCluster().backButton();
  chrome_->setFullScreen(true);
  std::vector<double> positions;
  testing::spinUntil(
      [&] {
        positions.push_back(of(back).x);
        return of(back).x == 12;
      },
      5s);
  EXPECT_NEAR(of(back).x, 12, 0.5);
  EXPECT_TRUE(
      std::any_of(positions.begin(), positions.end(), [](double x) { return x > 20 && x < 70; }));
}

TEST_F(AnimatedChromeTest, ANewSelectionScrollsToTheCentreOverTime) {
  show(snapshotOf(20, 0));
  ASSERT_DOUBLE_EQ(chrome_->tabStrip().scrollOffset(), 0);
  chrome_->update(snapshotOf(20, 10));
  std::vector<double> offsets;
  testing::spinUntil(
      [&] {
        offsets.push_back(chrome_->tabStrip().scrollOffset());
        return !chrome_->tabStrip().isAnimating();
      },
      5s);
  EXPECT_DOUBLE_EQ(chrome_->tabStrip().scrollOffset(), 452);
  EXPECT_TRUE(std::any_of(offsets.begin(), offsets.end(),
                          [](double offset) { return offset > 20 && offset < 430; }));
}

TEST_F(WorkspaceChromeTest, NavigationFollowsTheSelectedTab) {
  WorkspaceChromeInputs inputs;
  inputs.canGoBack = true;
  show(snapshotOf(1, 0, inputs));
  auto& nav = chrome_->navCluster();
  EXPECT_TRUE(nav.backButton().get_sensitive());
  EXPECT_FALSE(nav.forwardButton().get_sensitive());
  EXPECT_EQ(nav.reloadStack().get_visible_child(), &nav.reloadButton());

  inputs.isLoading = true;
  chrome_->update(snapshotOf(1, 0, inputs));
  settle();
  EXPECT_EQ(nav.reloadStack().get_visible_child(), &nav.spinner());
  EXPECT_FALSE(nav.reloadButton().get_sensitive());
  EXPECT_EQ(nav.spinner().get_tooltip_text(), "Loading\u2026");

  // Without a selected tab the bar begins with the indicator.
  inputs.hasSelectedTab = false;
  chrome_->update(snapshotOf(1, 0, inputs));
  settle();
  EXPECT_FALSE(nav.get_visible());
  expectSpan(of(chrome_->indicator()), 82, 108, "indicator without navigation");
}

TEST_F(WorkspaceChromeTest, FullScreenNarrowsTheLeadingSlot) {
  show(snapshotOf(1, 0));
  chrome_->setFullScreen(true);
  settle();
  expectSpan(of(chrome_->navCluster().backButton()), 12, 38, "back in full screen");
  chrome_->setFullScreen(false);
  settle();
  expectSpan(of(chrome_->navCluster().backButton()), 78, 104, "back after full screen");
}

TEST_F(WorkspaceChromeTest, AccountMenuStatesComeFromTheActionGroup) {
  WorkspaceChromeInputs inputs;
  inputs.email = "ada@example.com";
  inputs.selectedShowsWorkspacePage = true;
  show(snapshotOf(19, 0, inputs));
  EXPECT_TRUE(actionEnabled("new-tab"));
  EXPECT_TRUE(actionEnabled("reload"));
  EXPECT_TRUE(actionEnabled("home"));
  EXPECT_TRUE(actionEnabled("toggle-sidebar"));
  EXPECT_TRUE(actionEnabled("sign-out"));

  // The e-mail is a line of its own with no action; the tab items and "Sign Out" follow.
  auto menu = chrome_->accountMenuModel();
  ASSERT_EQ(menu->get_n_items(), 3);
  auto emailSection = std::dynamic_pointer_cast<Gio::MenuModel>(menu)->get_item_link(
      0, Gio::MenuModel::Link::SECTION);
  ASSERT_EQ(emailSection->get_n_items(), 1);
  Glib::VariantBase label, action;
  label =
      emailSection->get_item_attribute(0, Gio::MenuModel::Attribute::LABEL, Glib::VariantType("s"));
  EXPECT_EQ(Glib::VariantBase::cast_dynamic<Glib::Variant<Glib::ustring>>(label).get(),
            "ada@example.com");
  action = emailSection->get_item_attribute(0, Gio::MenuModel::Attribute::ACTION,
                                            Glib::VariantType("s"));
  EXPECT_FALSE(action);

  inputs.selectedShowsWorkspacePage = false;
  inputs.email = "";
  chrome_->update(snapshotOf(20, 0, inputs));
  settle();
  EXPECT_FALSE(actionEnabled("new-tab"));
  EXPECT_FALSE(actionEnabled("toggle-sidebar"));
  EXPECT_TRUE(actionEnabled("sign-out"));
  EXPECT_EQ(menu->get_n_items(), 2);

  g_action_group_activate_action(G_ACTION_GROUP(chrome_->actionGroup()->gobj()), "sign-out",
                                 nullptr);
  EXPECT_EQ(calls_.signOuts, 1);

  chrome_->accountMenu().popup();
  settle();
  EXPECT_EQ(calls_.menuOpenings, 1);
  chrome_->accountMenu().popdown();
  // Let the popover close completely before its window goes.
  ASSERT_TRUE(
      testing::spinUntil([&] { return !chrome_->accountMenu().get_popover()->get_visible(); }, 5s));
  settle();
}

class StubAppearanceEnvironment final : public AppearanceEnvironment {
 public:
  bool systemIsDark() const override { return false; }
  void setAppAppearance(AppAppearance appearance) override { current = appearance; }
  AppAppearance appAppearance() const override { return current; }
  AppAppearance current = AppAppearance::system;
};

// The chrome as a window uses it: bound to a real tabs model and a session, redrawn after the
// models change, never inside a control's own handler.
TEST(BoundWorkspaceChrome, FollowsTheModelsAndActsOnThem) {
  testing::ManualTime time;
  SequentialUuidSource uuids;
  testing::FakeBeep beep;
  NotificationHub hub;
  ClaimedRecoveryWindows claimed;
  PendingWorkspaceWindowCommands parked;
  auto tabs = WorkspaceTabsModel::create({OrlithEnvironment(*Url::parse("https://orlith.example")),
                                          time, time, uuids, beep, hub, claimed, parked});
  auto session = std::make_shared<testing::FakeWorkspaceSession>();
  session->signIn("ada@example.com");
  FakePreferences preferences;
  StubAppearanceEnvironment desktop;
  AppearanceSettings appearance(preferences, desktop);
  int windowsOpened = 0;
  auto controller = std::make_shared<WorkspaceChromeController>(
      tabs, session, [&] { ++windowsOpened; }, MainQueue::shared());
  auto chrome = WorkspaceChrome::bound(controller, appearance);
  Gtk::Window window;
  window.set_default_size(1180, 100);
  window.set_child(*chrome);
  testing::presentAndWait(window.gobj());
  auto& strip = chrome->tabStrip();
  ASSERT_NE(strip.chip(tabs->selectedID()), nullptr);

  // The new-tab button opens a tab in the model; its chip comes with the next refresh.
  g_signal_emit_by_name(strip.newTabButton().gobj(), "clicked");
  ASSERT_EQ(tabs->tabs().size(), 2u);
  const std::string second = tabs->selectedID();
  EXPECT_EQ(strip.chip(second), nullptr);
  ASSERT_TRUE(testing::spinUntil([&] { return strip.chip(second) != nullptr; }, 5s));
  EXPECT_TRUE(strip.chip(second)->presentation().checked);

  // A title change of a tab that is not selected reaches its chip.
  const std::string first = tabs->tabs().front()->id();
  tabs->tabs().front()->setPageTitle("Notes");
  ASSERT_TRUE(testing::spinUntil(
      [&] { return strip.chip(first)->presentation().displayTitle == "Notes"; }, 5s));

  // Closing through the chip's own button removes the tab at once and the chip afterwards.
  g_signal_emit_by_name(strip.chip(second)->closeButton().gobj(), "clicked");
  EXPECT_EQ(tabs->tabs().size(), 1u);
  ASSERT_TRUE(testing::spinUntil([&] { return strip.chip(second) == nullptr; }, 5s));
  EXPECT_TRUE(strip.chip(first)->presentation().checked);
  EXPECT_FALSE(strip.chip(first)->presentation().closeVisible);

  // The selected tab's load state drives the navigation.
  auto view = std::make_shared<testing::FakeWebEngineView>();
  view->uri = "https://orlith.example/app";
  tabs->selectedTab()->setWebView(view);
  tabs->selectedTab()->setCanGoBack(true);
  ASSERT_TRUE(
      testing::spinUntil([&] { return chrome->navCluster().backButton().get_sensitive(); }, 5s));
  g_signal_emit_by_name(chrome->navCluster().backButton().gobj(), "clicked");
  EXPECT_EQ(view->backs, 1);

  // "Sign Out" reaches the session only after the menu's handler has returned.
  auto* group = G_ACTION_GROUP(chrome->actionGroup()->gobj());
  g_action_group_activate_action(group, "sign-out", nullptr);
  EXPECT_EQ(session->signOuts, 0);
  ASSERT_TRUE(testing::spinUntil([&] { return session->signOuts == 1; }, 5s));

  // The colours follow the app's resolved appearance.
  appearance.setPreference(OrlithAppearancePreference::dark);
  EXPECT_TRUE(chrome->has_css_class("dark"));

  window.unset_child();
  chrome.reset();
  window.destroy();
}

}  // namespace
}  // namespace orlith
