// The tab chip and the new-tab button on the real toolkit: size, roles and states, where clicks
// land.
#include <gmock/gmock.h>
#include <gtkmm.h>

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
    window_.present();
    gtk_test_widget_wait_for_draw(GTK_WIDGET(window_.gobj()));
  }

  void TearDown() override { window_.destroy(); }

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
  gtk_test_widget_wait_for_draw(GTK_WIDGET(window_.gobj()));
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
  ASSERT_TRUE(testing::spinUntil([&] { return window_.is_active(); }, std::chrono::seconds(5)));
  // The pointer crossing the chip, as its motion controller reports it.
  auto cross = [&](bool inside) {
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
  };
  const SrgbColour veil = SrgbColour::grey(0, 0.045);
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
  window_.present();
  ASSERT_TRUE(testing::spinUntil([&] { return window_.is_active(); }, std::chrono::seconds(5)));
  EXPECT_EQ(chip_->presentation().fill, veil);
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

}  // namespace
}  // namespace orlith
