// The workspace chrome on the real toolkit: where every control sits in a 1180 px window, the
// strip's widths and its scrolling row, the bar's colours, and the account menu's states.
#include <gmock/gmock.h>
#include <gtk/gtk.h>
#include <gtkmm.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "UiHarness.h"
#include "platform/glib/GObjectPtr.h"
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

// Renders the widget in process and reads one pixel (alpha, red, green, blue).
class WidgetPixels {
 public:
  explicit WidgetPixels(Gtk::Widget& widget) {
    auto paintable = adoptObject(gtk_widget_paintable_new(widget.gobj()));
    width_ = gdk_paintable_get_intrinsic_width(GDK_PAINTABLE(paintable.get()));
    height_ = gdk_paintable_get_intrinsic_height(GDK_PAINTABLE(paintable.get()));
    GtkSnapshot* snapshot = gtk_snapshot_new();
    gdk_paintable_snapshot(GDK_PAINTABLE(paintable.get()), GDK_SNAPSHOT(snapshot), width_, height_);
    GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
    auto renderer = adoptObject(gsk_cairo_renderer_new());
    gsk_renderer_realize(renderer.get(), nullptr, nullptr);
    texture_ = adoptObject(gsk_renderer_render_texture(renderer.get(), node, nullptr));
    gsk_render_node_unref(node);
    gsk_renderer_unrealize(renderer.get());
    stride_ = static_cast<std::size_t>(width_) * 4;
    data_.resize(stride_ * static_cast<std::size_t>(height_));
    gdk_texture_download(texture_.get(), data_.data(), stride_);
  }

  // Premultiplied BGRA in memory; the probes here are opaque.
  std::array<int, 3> rgb(int x, int y) const {
    const std::size_t at = static_cast<std::size_t>(y) * stride_ + static_cast<std::size_t>(x) * 4;
    return {data_[at + 2], data_[at + 1], data_[at]};
  }
  int grey(int x, int y) const { return rgb(x, y)[1]; }

  std::filesystem::path save(const std::string& name) const {
    std::filesystem::path folder = std::filesystem::path(ORLITH_BINARY_DIR) / "ui-artifacts";
    std::filesystem::create_directories(folder);
    auto path = folder / (name + ".png");
    gdk_texture_save_to_png(texture_.get(), path.c_str());
    return path;
  }

 private:
  int width_ = 0, height_ = 0;
  std::size_t stride_ = 0;
  GObjectPtr<GdkTexture> texture_;
  std::vector<unsigned char> data_;
};

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
    auto* settings = gtk_settings_get_default();
    g_object_get(settings, "gtk-enable-animations", &animations_, nullptr);
    g_object_set(settings, "gtk-enable-animations", FALSE, nullptr);

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
    g_object_set(gtk_settings_get_default(), "gtk-enable-animations", animations_, nullptr);
  }

  void show(const WorkspaceChromeSnapshot& snapshot) {
    chrome_->update(snapshot);
    window_.present();
    settle();
  }

  // Lets layout and drawing catch up.
  void settle() {
    // The bar's own width: its bounds include the trailing padding.
    ASSERT_TRUE(
        testing::spinUntil([&] { return boundsIn(*chrome_, content_).width == 1180; }, 10s));
    gtk_test_widget_wait_for_draw(GTK_WIDGET(window_.gobj()));
    testing::spinUntil([&] { return !chrome_->tabStrip().isAnimating(); }, 2s);
    while (g_main_context_pending(nullptr))
      g_main_context_iteration(nullptr, FALSE);
  }

  Bounds of(Gtk::Widget& widget) { return boundsIn(widget, *chrome_); }

  bool actionEnabled(const char* name) {
    return g_action_group_get_action_enabled(G_ACTION_GROUP(chrome_->actionGroup()->gobj()), name);
  }

  gboolean animations_ = TRUE;
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

  WidgetPixels pixels(*chrome_);
  pixels.save("workspace-chrome-one-tab");
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
  ASSERT_TRUE(gtk_window_is_active(window_.gobj()));
  // Inside the empty leading slot: only the bar's background.
  const int x = 40, y = 17;
  EXPECT_NEAR(WidgetPixels(*chrome_).grey(x, y), 242, 3);
  chrome_->setDark(true);
  settle();
  EXPECT_NEAR(WidgetPixels(*chrome_).grey(x, y), 30, 3);
  WidgetPixels(*chrome_).save("workspace-chrome-dark");

  // Without a window manager the last presented window is the active one.
  Gtk::Window other;
  other.set_default_size(100, 100);
  other.present();
  ASSERT_TRUE(testing::spinUntil([&] { return !gtk_window_is_active(window_.gobj()); }, 10s));
  settle();
  EXPECT_NEAR(WidgetPixels(*chrome_).grey(x, y), 36, 3);
  chrome_->setDark(false);
  settle();
  EXPECT_NEAR(WidgetPixels(*chrome_).grey(x, y), 246, 3);
  other.destroy();
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
}

}  // namespace
}  // namespace orlith
