// The update indicator and its panel on the real toolkit: real clicks and keys open and close
// the panel, every closing way that the display can drive leaves the update's state as it was,
// focus lands where it should, the main button reaches the update client once, and the process-wide
// operations pick and close the right panels.
#include <gmock/gmock.h>
#include <gtkmm.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "RealInput.h"
#include "UiHarness.h"
#include "update/client/gtk/UpdateClientStyleSheet.h"
#include "update/client/gtk/UpdateIndicatorButton.h"

// X last: its macros clash with the toolkit's C++ headers.
#include <X11/Xlib.h>
#include <gdk/x11/gdkx.h>

namespace orlith {
namespace {

using namespace std::chrono_literals;

class FakeIndicatorModel final : public UpdateIndicatorModel {
 public:
  const UpdateSnapshot& snapshot() override { return snapshot_; }
  ChangeSignal& changed() override { return changed_; }
  void performPrimaryAction() override { ++primaryActions; }
  std::string appVersion() const override { return "1.2.3"; }

  void publish(UpdateSnapshot snapshot) {
    snapshot_ = std::move(snapshot);
    changed_.emit();
  }

  int primaryActions = 0;

 private:
  UpdateSnapshot snapshot_;
  ChangeSignal changed_;
};

UpdateSnapshot at(UpdateStage stage, long progress = 0) {
  UpdateSnapshot snapshot;
  snapshot.stage = stage;
  snapshot.progress = progress;
  if (stage == UpdateStage::ready || stage == UpdateStage::downloading)
    snapshot.version = "1.2.4";
  return snapshot;
}

void installStyles() {
  static Glib::RefPtr<Gtk::CssProvider> provider;
  if (provider)
    return;
  provider = Gtk::CssProvider::create();
  provider->load_from_data(updateClientStyleSheet(false));
  Gtk::StyleContext::add_provider_for_display(Gdk::Display::get_default(), provider,
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

// A real press and release of the first button at the widget's point, through the X server.
void clickAt(Gtk::Widget& widget, double x, double y) {
  testing::clickAt(widget.gobj(), x, y);
}

// Whether no other program holds the pointer (another test's open menu grabs it, and a click
// would go there), waiting up to ten seconds. Only while this process holds no grab itself.
bool waitForFreePointer() {
  Display* display = gdk_x11_display_get_xdisplay(gdk_display_get_default());
  return testing::spinUntil(
      [&] {
        const int answer = XGrabPointer(display, DefaultRootWindow(display), False, 0,
                                        GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        if (answer != GrabSuccess)
          return false;
        XUngrabPointer(display, CurrentTime);
        XFlush(display);
        return true;
      },
      10s);
}

// A button of the panel pressed as the toolkit delivers it.
void press(Gtk::Button& button) {
  g_signal_emit_by_name(button.gobj(), "clicked");
}

void click(Gtk::Widget& widget) {
  clickAt(widget, widget.get_width() / 2.0, widget.get_height() / 2.0);
}

class UpdateIndicatorTest : public ::testing::Test {
 public:
  void SetUp() override {
    installStyles();
    window_ = std::make_unique<Gtk::Window>();
    window_->set_default_size(420, 420);
    box_.set_valign(Gtk::Align::START);
    box_.set_halign(Gtk::Align::START);
    box_.set_margin(8);
    indicator_ = std::make_unique<UpdateIndicatorButton>(model_);
    box_.append(*indicator_);
    window_->set_child(box_);
    testing::presentAndWait(window_->gobj());
    ASSERT_TRUE(testing::activate(window_->gobj()));
  }

  void TearDown() override {
    if (indicator_)
      box_.remove(*indicator_);
    indicator_.reset();
    window_.reset();
  }

  bool panelShown() { return indicator_->hasPanel() && indicator_->panel().isShown(); }
  bool waitShown(bool shown) {
    return testing::spinUntil([&] { return panelShown() == shown; }, 3s);
  }
  // Tests side by side may take the display's activity: a click that should open the panel is
  // tried again on an active window until it lands.
  void clickUntilShown() {
    for (int attempt = 0; attempt < 5 && !panelShown(); ++attempt) {
      ASSERT_TRUE(waitForFreePointer());
      ASSERT_TRUE(testing::activate(window_->gobj()));
      click(*indicator_);
      waitShown(true);
    }
    ASSERT_TRUE(panelShown());
  }
  void open() {
    UpdateIndicatorButton::showPanel();
    ASSERT_TRUE(waitShown(true));
    // Laid out and drawn at its place before anything clicks into it.
    testing::spinUntil([] { return false; }, 200ms);
  }

  FakeIndicatorModel model_;
  std::unique_ptr<Gtk::Window> window_;
  Gtk::Box box_;
  std::unique_ptr<UpdateIndicatorButton> indicator_;
};

TEST_F(UpdateIndicatorTest, ClickOpensThePanelAndAClickWhileShownClosesIt) {
  EXPECT_FALSE(indicator_->hasPanel());
  clickUntilShown();
  click(*indicator_);
  ASSERT_TRUE(waitShown(false));
  // Not closed and opened again on the same click.
  testing::spinUntil([] { return false; }, 300ms);
  EXPECT_FALSE(panelShown());
  clickUntilShown();
  EXPECT_EQ(model_.primaryActions, 0);
}

TEST_F(UpdateIndicatorTest, IndicatorFollowsTheSnapshot) {
  EXPECT_EQ(indicator_->statusText(), "Orlith updates");
  EXPECT_EQ(indicator_->get_tooltip_text(), "Orlith updates");
  model_.publish(at(UpdateStage::downloading, 150));
  EXPECT_EQ(indicator_->statusText(), "Downloading update 100%");
  EXPECT_FALSE(indicator_->isAccentTinted());
  model_.publish(at(UpdateStage::ready));
  EXPECT_TRUE(indicator_->isAccentTinted());
  UpdateSnapshot initial = at(UpdateStage::ready);
  initial.isInitialInstallation = true;
  model_.publish(initial);
  EXPECT_FALSE(indicator_->isAccentTinted());
  EXPECT_EQ(indicator_->statusText(), "Ready to install");
  EXPECT_EQ(indicator_->get_width(), 26);
  EXPECT_EQ(indicator_->get_height(), 26);
}

TEST_F(UpdateIndicatorTest, FocusLandsOnLaterWhenReadyElseOnClose) {
  open();
  EXPECT_TRUE(testing::spinUntil(
      [&] { return indicator_->panel().content().closeButton().has_focus(); }, 2s));
  indicator_->popdown();
  ASSERT_TRUE(waitShown(false));
  EXPECT_TRUE(testing::spinUntil(
      [&] {
        Gtk::Widget* focus = window_->get_focus();
        return focus != nullptr && (focus == indicator_.get() || focus->is_ancestor(*indicator_));
      },
      2s));

  model_.publish(at(UpdateStage::ready));
  open();
  EXPECT_TRUE(
      testing::spinUntil([&] { return indicator_->panel().content().later().has_focus(); }, 2s));
}

TEST_F(UpdateIndicatorTest, EveryClosingWayLeavesTheUpdateAsItWas) {
  const UpdateSnapshot ready = at(UpdateStage::ready);
  model_.publish(ready);
  const struct {
    const char* way;
    std::function<void(UpdateIndicatorTest&)> close;
  } ways[] = {
      {"close button",
       [](UpdateIndicatorTest& t) { press(t.indicator_->panel().content().closeButton()); }},
      {"Later", [](UpdateIndicatorTest& t) { press(t.indicator_->panel().content().later()); }},
      {"Escape", [](UpdateIndicatorTest&) { testing::pressKeys({}, XK_Escape); }},
      {"click outside", [](UpdateIndicatorTest& t) { clickAt(*t.window_, 400, 400); }},
      {"owner resize", [](UpdateIndicatorTest& t) { t.window_->set_default_size(500, 440); }},
      // Without a window manager the display keeps no full-screen state: the toolkit's
      // notification stands in for it.
      {"owner full screen",
       [](UpdateIndicatorTest& t) {
         g_object_notify(G_OBJECT(t.window_->gobj()), "fullscreened");
       }},
      {"closePanels", [](UpdateIndicatorTest&) { UpdateIndicatorButton::closePanels(); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.way);
    ASSERT_TRUE(testing::activate(window_->gobj()));
    open();
    testing::spinUntil([] { return false; }, 100ms);
    way.close(*this);
    EXPECT_TRUE(waitShown(false));
    EXPECT_EQ(model_.snapshot(), ready);
    EXPECT_EQ(model_.primaryActions, 0);
    EXPECT_TRUE(indicator_->isAccentTinted());
  }
}

TEST_F(UpdateIndicatorTest, ClosingTheOwnerClosesThePanel) {
  open();
  window_->close();
  EXPECT_TRUE(waitShown(false));
  EXPECT_EQ(model_.snapshot(), UpdateSnapshot{});
}

TEST_F(UpdateIndicatorTest, PrimaryReachesTheClientOnceAndOnlyWhenEnabled) {
  open();
  UpdatePopoverContent& content = indicator_->panel().content();
  EXPECT_EQ(content.primary().get_label(), "Check for updates");
  press(content.primary());
  EXPECT_EQ(model_.primaryActions, 1);
  model_.publish(at(UpdateStage::checking));
  EXPECT_FALSE(content.primary().get_sensitive());
  press(content.primary());
  EXPECT_EQ(model_.primaryActions, 1);
}

TEST_F(UpdateIndicatorTest, PanelShowsStagesProgressErrorsAndHeadingChanges) {
  open();
  UpdatePopoverController& panel = indicator_->panel();
  UpdatePopoverContent& content = panel.content();
  EXPECT_EQ(content.version().get_text(), "1.2.3");
  EXPECT_FALSE(content.detail().get_visible());
  EXPECT_EQ(panel.headingAnnouncements(), 0u);

  model_.publish(at(UpdateStage::downloading, 250));
  EXPECT_EQ(content.heading().get_text(), "Downloading update");
  EXPECT_EQ(content.version().get_text(), "1.2.4");
  EXPECT_TRUE(content.progressGroup().get_visible());
  EXPECT_DOUBLE_EQ(content.progress().get_fraction(), 1.0);
  EXPECT_EQ(content.percent().get_text(), "100%");
  model_.publish(at(UpdateStage::downloading, 40));
  EXPECT_EQ(content.percent().get_text(), "40%");
  EXPECT_EQ(panel.headingAnnouncements(), 1u);

  model_.publish(at(UpdateStage::ready));
  EXPECT_EQ(panel.headingAnnouncements(), 2u);
  EXPECT_FALSE(content.progressGroup().get_visible());
  EXPECT_TRUE(content.later().get_visible());
  EXPECT_EQ(content.primary().get_label(), "Restart & update");
  testing::spinUntil([] { return false; }, 200ms);
  const int before = panel.popover().get_height();
  testing::renderWidget(GTK_WIDGET(panel.popover().gobj())).save("update-panel-ready");

  UpdateSnapshot refused = at(UpdateStage::ready);
  refused.error = "Finish your downloads before restarting Orlith.";
  model_.publish(refused);
  EXPECT_TRUE(content.error().get_visible());
  EXPECT_EQ(panel.headingAnnouncements(), 2u);
  EXPECT_TRUE(testing::spinUntil([&] { return panel.popover().get_height() > before + 8; }, 2s))
      << before << " → " << panel.popover().get_height();
  testing::renderWidget(GTK_WIDGET(panel.popover().gobj())).save("update-panel-error");

  indicator_->popdown();
  ASSERT_TRUE(waitShown(false));
  model_.publish(at(UpdateStage::failed));
  EXPECT_EQ(panel.headingAnnouncements(), 2u);
}

TEST_F(UpdateIndicatorTest, ShowPanelPicksTheActiveWindowsIndicatorAndNeedsAShownOne) {
  Gtk::Window other;
  Gtk::Box otherBox;
  UpdateIndicatorButton second(model_);
  otherBox.append(second);
  other.set_child(otherBox);
  other.set_default_size(200, 200);
  testing::presentAndWait(other.gobj());
  ASSERT_TRUE(testing::activate(window_->gobj()));
  UpdateIndicatorButton::showPanel();
  EXPECT_TRUE(waitShown(true));
  EXPECT_FALSE(second.hasPanel() && second.panel().isShown());
  UpdateIndicatorButton::closePanels();
  EXPECT_TRUE(waitShown(false));
  EXPECT_TRUE(second.hasPanel());
  EXPECT_FALSE(second.panel().isShown());

  indicator_->set_visible(false);
  second.set_visible(false);
  UpdateIndicatorButton::showPanel();
  testing::spinUntil([] { return false; }, 200ms);
  EXPECT_FALSE(panelShown());
  EXPECT_FALSE(second.panel().isShown());
  otherBox.remove(second);
}

TEST_F(UpdateIndicatorTest, ClosePanelsMakesAClosedPanelAndADestroyedIndicatorLeavesTheRegistry) {
  EXPECT_FALSE(indicator_->hasPanel());
  UpdateIndicatorButton::closePanels();
  EXPECT_TRUE(indicator_->hasPanel());
  testing::spinUntil([] { return false; }, 200ms);
  EXPECT_FALSE(panelShown());

  auto* raw = indicator_.get();
  EXPECT_THAT(UpdateIndicatorButton::registry(), ::testing::Contains(raw));
  box_.remove(*indicator_);
  indicator_.reset();
  EXPECT_THAT(UpdateIndicatorButton::registry(), ::testing::Not(::testing::Contains(raw)));
  UpdateIndicatorButton::showPanel();
  UpdateIndicatorButton::closePanels();
}

}  // namespace
}  // namespace orlith
