// The tab chip and the new-tab button on the real toolkit: size, roles and states, where clicks
// land.
#include <gmock/gmock.h>
#include <gtkmm.h>

#include <optional>

#include "UiHarness.h"
#include "workspace/window/gtk/WorkspaceNewTabButton.h"
#include "workspace/window/gtk/WorkspaceTabChipView.h"

namespace orlith {
namespace {

class WorkspaceTabChipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    chip_ = std::make_unique<WorkspaceTabChipView>();
    chip_->update(
        "Roadmap", false, true, false, 160, [this] { ++selects_; }, [this] { ++closes_; });
    box_.set_halign(Gtk::Align::START);
    box_.set_valign(Gtk::Align::START);
    box_.append(*chip_);
    window_.set_default_size(400, 100);
    window_.set_child(box_);
    testing::presentAndWait(window_.gobj());
  }

  void TearDown() override { window_.destroy(); }

  static bool near(const testing::Rgba& actual, const testing::Rgba& expected, int tolerance = 3) {
    return actual.near(expected, tolerance);
  }

  // The pointer crossing the chip, as its motion controller reports it.
  void cross(bool inside) {
    GListModel* controllers = gtk_widget_observe_controllers(chip_->gobj());
    for (guint i = 0; i < g_list_model_get_n_items(controllers); ++i) {
      auto* controller = g_list_model_get_item(controllers, i);
      if (GTK_IS_EVENT_CONTROLLER_MOTION(controller)) {
        if (inside)
          g_signal_emit_by_name(controller, "enter", 5.0, 5.0);
        else
          g_signal_emit_by_name(controller, "leave");
      }
      g_object_unref(controller);
    }
    g_object_unref(controllers);
  }

  // The widget a click at (x, y) in the chip's own coordinates would go to.
  Gtk::Widget* pickInChip(double x, double y) {
    graphene_point_t point = GRAPHENE_POINT_INIT(static_cast<float>(x), static_cast<float>(y));
    graphene_point_t inWindow;
    EXPECT_TRUE(
        gtk_widget_compute_point(chip_->gobj(), GTK_WIDGET(window_.gobj()), &point, &inWindow));
    return window_.pick(inWindow.x, inWindow.y);
  }

  static bool isWithin(Gtk::Widget* widget, Gtk::Widget& ancestor) {
    return widget && (widget == &ancestor || widget->is_ancestor(ancestor));
  }

  Gtk::Window window_;
  Gtk::Box box_;
  std::unique_ptr<WorkspaceTabChipView> chip_;
  int selects_ = 0;
  int closes_ = 0;
};

TEST_F(WorkspaceTabChipTest, MeasuresItsWidthBy26AndPlacesItsButtons) {
  EXPECT_EQ(chip_->get_width(), 160);
  EXPECT_EQ(chip_->get_height(), 26);
  auto bounds = [&](Gtk::Widget& child) {
    graphene_rect_t rect;
    EXPECT_TRUE(gtk_widget_compute_bounds(child.gobj(), chip_->gobj(), &rect));
    return std::array<int, 4>{static_cast<int>(rect.origin.x), static_cast<int>(rect.origin.y),
                              static_cast<int>(rect.size.width),
                              static_cast<int>(rect.size.height)};
  };
  EXPECT_EQ(bounds(chip_->titleButton()), (std::array<int, 4>{12, 1, 111, 24}));
  EXPECT_EQ(bounds(chip_->closeButton()), (std::array<int, 4>{129, 1, 24, 24}));

  chip_->update(
      "Roadmap", false, false, false, 80, [] {}, [] {});
  testing::presentAndWait(window_.gobj());
  EXPECT_EQ(chip_->get_width(), 80);
  EXPECT_FALSE(chip_->closeButton().get_visible());
  EXPECT_EQ(bounds(chip_->titleButton()), (std::array<int, 4>{12, 1, 31, 24}));
}

TEST_F(WorkspaceTabChipTest, TitleIsARadioCheckedWhileSelectedAndTheCloseButtonNamesTheTab) {
  GtkAccessible* title = GTK_ACCESSIBLE(chip_->titleButton().gobj());
  EXPECT_TRUE(gtk_test_accessible_has_role(title, GTK_ACCESSIBLE_ROLE_RADIO));
  auto expectNull = [](char* failure) {
    EXPECT_EQ(failure, nullptr) << failure;
    g_free(failure);
  };
  expectNull(gtk_test_accessible_check_state(title, GTK_ACCESSIBLE_STATE_CHECKED,
                                             GTK_ACCESSIBLE_TRISTATE_FALSE));
  expectNull(gtk_test_accessible_check_property(title, GTK_ACCESSIBLE_PROPERTY_LABEL, "Roadmap"));
  expectNull(gtk_test_accessible_check_property(GTK_ACCESSIBLE(chip_->closeButton().gobj()),
                                                GTK_ACCESSIBLE_PROPERTY_LABEL,
                                                "Close tab: Roadmap"));
  EXPECT_EQ(chip_->titleButton().get_tooltip_text(), "Roadmap");
  EXPECT_EQ(chip_->closeButton().get_tooltip_text(), "Close tab");

  chip_->update(
      "", true, true, false, 160, [] {}, [] {});
  expectNull(gtk_test_accessible_check_state(title, GTK_ACCESSIBLE_STATE_CHECKED,
                                             GTK_ACCESSIBLE_TRISTATE_TRUE));
  expectNull(gtk_test_accessible_check_property(title, GTK_ACCESSIBLE_PROPERTY_LABEL, "Orlith"));
  EXPECT_EQ(chip_->titleButton().get_tooltip_text(), "Orlith");
}

TEST_F(WorkspaceTabChipTest, OnlyTheTitleSelectsAndOnlyTheCrossCloses) {
  EXPECT_TRUE(isWithin(pickInChip(60, 13), chip_->titleButton()));
  EXPECT_TRUE(isWithin(pickInChip(141, 13), chip_->closeButton()));
  // The margin before the title and the gap before the cross belong to neither button.
  for (double x : {5.0, 126.0, 157.0}) {
    Gtk::Widget* picked = pickInChip(x, 13);
    EXPECT_FALSE(isWithin(picked, chip_->titleButton())) << x;
    EXPECT_FALSE(isWithin(picked, chip_->closeButton())) << x;
  }

  g_signal_emit_by_name(chip_->titleButton().gobj(), "clicked");
  EXPECT_EQ(std::make_pair(selects_, closes_), std::make_pair(1, 0));
  g_signal_emit_by_name(chip_->closeButton().gobj(), "clicked");
  EXPECT_EQ(std::make_pair(selects_, closes_), std::make_pair(1, 1));
}

TEST_F(WorkspaceTabChipTest, HoverShowsOnlyInTheActiveWindow) {
  const SrgbColour veil = SrgbColour::grey(0, 0.045);
  ASSERT_TRUE(testing::activate(window_.gobj()));
  cross(true);
  EXPECT_EQ(chip_->presentation().fill, veil);
  cross(false);
  EXPECT_EQ(chip_->presentation().fill, SrgbColour::clear());
  cross(true);

  // Without a window manager the window presented last is the active one.
  Gtk::Window other;
  other.present();
  ASSERT_TRUE(testing::spinUntil([&] { return !window_.is_active(); }, std::chrono::seconds(5)));
  EXPECT_EQ(chip_->presentation().fill, SrgbColour::clear());
  other.destroy();
  ASSERT_TRUE(testing::activate(window_.gobj()));
  EXPECT_EQ(chip_->presentation().fill, veil);
}

TEST(WorkspaceTabStripPicture, SavesChipsAndTheNewTabButtonInLightAndDark) {
  auto backdrops = Gtk::CssProvider::create();
  backdrops->load_from_data(
      ".strip-light { background-color: rgb(242,242,242); }"
      ".strip-dark { background-color: rgb(30,30,30); }");
  Gtk::StyleContext::add_provider_for_display(Gdk::Display::get_default(), backdrops,
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  for (bool dark : {false, true}) {
    Gtk::Window window;
    Gtk::Box strip(Gtk::Orientation::HORIZONTAL, 4);
    strip.add_css_class(dark ? "strip-dark" : "strip-light");
    strip.set_margin_top(0);
    WorkspaceTabChipView selected, plain, untitled;
    selected.update(
        "Quarterly roadmap", true, true, dark, 160, [] {}, [] {});
    plain.update(
        "A very long page title that does not fit", false, true, dark, 150, [] {}, [] {});
    untitled.update(
        "", false, false, dark, 120, [] {}, [] {});
    WorkspaceNewTabButton add, full;
    add.update(dark, false);
    full.update(dark, true);
    for (Gtk::Widget* child :
         std::initializer_list<Gtk::Widget*>{&selected, &plain, &untitled, &add, &full}) {
      child->set_valign(Gtk::Align::CENTER);
      strip.append(*child);
    }
    strip.set_size_request(-1, 34);
    window.set_child(strip);
    testing::presentAndWait(window.gobj());
    const auto path = testing::renderWidget(GTK_WIDGET(strip.gobj()))
                          .save(dark ? "tab-strip-dark" : "tab-strip-light");
    EXPECT_GT(std::filesystem::file_size(path), 500u);
    EXPECT_FALSE(untitled.closeButton().get_visible());
    window.destroy();
  }
  Gtk::StyleContext::remove_provider_for_display(Gdk::Display::get_default(), backdrops);
}

TEST(WorkspaceNewTabButtonTest, DisabledButtonNamesTheTabLimit) {
  WorkspaceNewTabButton button;
  EXPECT_EQ(button.get_tooltip_text(), "New tab");
  EXPECT_TRUE(button.is_sensitive());
  button.update(true, true);
  EXPECT_FALSE(button.is_sensitive());
  EXPECT_EQ(button.get_tooltip_text(), "Maximum 20 tabs");
  EXPECT_TRUE(button.has_css_class("dark"));
  EXPECT_FALSE(button.has_css_class("light"));
  char* failure = gtk_test_accessible_check_property(GTK_ACCESSIBLE(button.gobj()),
                                                     GTK_ACCESSIBLE_PROPERTY_LABEL, "New tab");
  EXPECT_EQ(failure, nullptr) << failure;
  g_free(failure);
}

TEST_F(WorkspaceTabChipTest, DrawsSelectionAndHoverInTheirColours) {
  // On a white backdrop, so translucent colours have a known result.
  auto backdrop = Gtk::CssProvider::create();
  backdrop->load_from_data(".chip-backdrop { background-color: white; }");
  Gtk::StyleContext::add_provider_for_display(Gdk::Display::get_default(), backdrop,
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  box_.add_css_class("chip-backdrop");
  auto render = [&] {
    testing::presentAndWait(window_.gobj());
    return testing::renderWidget(GTK_WIDGET(box_.gobj()));
  };
  auto grey = [](double level, double alpha) {
    const int value = static_cast<int>(std::lround(255 * (level * alpha + (1 - alpha))));
    return testing::Rgba{value, value, value, 255};
  };
  // The outline's pixel row also holds about half of the fill, which is inset by 0.5; the
  // renderer's antialiasing leaves a few levels of slack there.
  auto outlined = [](double fill, double outline, double outlineAlpha) {
    const double under = (1.0 + fill) / 2;
    const int value =
        static_cast<int>(std::lround(255 * (outline * outlineAlpha + under * (1 - outlineAlpha))));
    return testing::Rgba{value, value, value, 255};
  };
  // (6, 13) lies in the margin before the title, inside the fill; (80, 0) on the outline.
  chip_->update(
      "Roadmap", true, true, false, 160, [] {}, [] {});
  auto light = render();
  EXPECT_TRUE(near(light.at(6, 13), {252, 251, 248, 255}));
  EXPECT_TRUE(near(light.at(80, 0), outlined(250 / 255.0, 0, 0.28), 8));

  chip_->update(
      "Roadmap", true, true, true, 160, [] {}, [] {});
  auto dark = render();
  EXPECT_TRUE(near(dark.at(6, 13), grey(0.17, 1)));
  EXPECT_TRUE(near(dark.at(80, 0), outlined(0.17, 1, 0.28), 8));
  dark.save("tab-chip-dark-selected");

  chip_->update(
      "Roadmap", false, true, false, 160, [] {}, [] {});
  EXPECT_TRUE(near(render().at(6, 13), {255, 255, 255, 255}));
  cross(true);
  // Rendering runs the main loop, where another test's window may take activity: retry then.
  std::optional<testing::WidgetPixels> hovered;
  for (int attempt = 0; attempt < 5 && !(hovered && window_.is_active()); ++attempt) {
    ASSERT_TRUE(testing::activate(window_.gobj()));
    hovered.emplace(render());
  }
  ASSERT_TRUE(window_.is_active());
  EXPECT_TRUE(near(hovered->at(6, 13), grey(0, 0.045)));
  hovered->save("tab-chip-light-hovered");

  Gtk::StyleContext::remove_provider_for_display(Gdk::Display::get_default(), backdrop);
}

}  // namespace
}  // namespace orlith
