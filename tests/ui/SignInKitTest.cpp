// The sign-in kit on the real toolkit: the loading veil's hit testing, the pointing hand, the
// mark's resource and accessibility.
#include <gmock/gmock.h>
#include <gtkmm.h>

#include "UiHarness.h"
#include "signin/gtk/AuthBrandLockup.h"
#include "signin/gtk/AuthFilledButtonStyle.h"
#include "signin/gtk/AuthKitStyleSheet.h"
#include "signin/gtk/AuthLinkButtonStyle.h"
#include "signin/gtk/AuthPrimaryButtonLabel.h"
#include "signin/gtk/AuthSocialButtonLabel.h"
#include "signin/gtk/AuthSocialButtonStyle.h"
#include "signin/gtk/BrandLoadingView.h"
#include "signin/gtk/LoadingOverlay.h"
#include "signin/gtk/OrlithMark.h"
#include "workspace/surface/gtk/AppearanceStyleProvider.h"

namespace orlith {
namespace {

class SignInKitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    styles_ = AppearanceStyleProvider::palette(Gdk::Display::get_default(), false);
    addAuthKitStyleSheet(*styles_);
  }

  // Shows `content` in a window of the given size and waits until it has been drawn.
  Gtk::Window& show(Gtk::Widget& content, int width, int height) {
    window_ = std::make_unique<Gtk::Window>();
    window_->set_default_size(width, height);
    window_->set_child(content);
    window_->present();
    gtk_test_widget_wait_for_draw(GTK_WIDGET(window_->gobj()));
    return *window_;
  }

  // The widget a pointer event at the centre of `target` would go to.
  static Gtk::Widget* pickAtCentreOf(Gtk::Window& window, Gtk::Widget& target) {
    graphene_point_t centre =
        GRAPHENE_POINT_INIT(target.get_width() / 2.0f, target.get_height() / 2.0f);
    graphene_point_t inWindow;
    EXPECT_TRUE(
        gtk_widget_compute_point(target.gobj(), GTK_WIDGET(window.gobj()), &centre, &inWindow));
    return window.pick(inWindow.x, inWindow.y);
  }

  static bool isWithin(Gtk::Widget* widget, Gtk::Widget& ancestor) {
    return widget && (widget == &ancestor || widget->is_ancestor(ancestor));
  }

  void TearDown() override {
    if (window_)
      window_->destroy();
  }

  std::unique_ptr<AppearanceStyleProvider> styles_;
  std::unique_ptr<Gtk::Window> window_;
};

TEST_F(SignInKitTest, LoadingOverlayPassesClicksWhenIdleAndBlocksThemWhileLoading) {
  Gtk::Overlay overlay;
  Gtk::Button content("Continue");
  LoadingOverlay veil;
  overlay.set_child(content);
  overlay.add_overlay(veil);
  Gtk::Window& window = show(overlay, 320, 200);

  EXPECT_FALSE(veil.get_can_target());
  EXPECT_TRUE(isWithin(pickAtCentreOf(window, content), content));

  veil.setLoading(true);
  EXPECT_TRUE(veil.get_reveal_child());
  EXPECT_TRUE(
      testing::spinUntil([&] { return veil.get_child_revealed(); }, std::chrono::seconds(5)));
  EXPECT_TRUE(isWithin(pickAtCentreOf(window, content), veil));
  EXPECT_TRUE(veil.spinner().get_spinning());

  veil.setLoading(false);
  // Clicks reach the content again at once, while the veil is still fading out.
  EXPECT_TRUE(isWithin(pickAtCentreOf(window, content), content));
  EXPECT_TRUE(
      testing::spinUntil([&] { return !veil.get_child_revealed(); }, std::chrono::seconds(5)));
  EXPECT_TRUE(isWithin(pickAtCentreOf(window, content), content));
}

TEST_F(SignInKitTest, EnabledButtonsShowThePointingHandAndDisabledOnesTheArrow) {
  Gtk::Box box(Gtk::Orientation::VERTICAL);
  Gtk::Button filled, social, link("Forgot password?");
  AuthFilledButtonStyle::apply(filled);
  AuthSocialButtonStyle(AuthSocialButtonKind::github, false).apply(social);
  AuthLinkButtonStyle(OrlithPalette::inkMuted).apply(link);
  for (Gtk::Button* button : {&filled, &social, &link})
    box.append(*button);
  show(box, 320, 200);

  auto cursorName = [](Gtk::Widget& widget) -> std::string {
    auto cursor = widget.get_cursor();
    return cursor ? cursor->get_name() : "";
  };
  for (Gtk::Button* button : {&filled, &social, &link}) {
    EXPECT_EQ(cursorName(*button), "pointer");
    button->set_sensitive(false);
    EXPECT_EQ(cursorName(*button), "");
    button->set_sensitive(true);
    EXPECT_EQ(cursorName(*button), "pointer");
  }
  // A disabled container disables its buttons too.
  box.set_sensitive(false);
  EXPECT_EQ(cursorName(filled), "");
  box.set_sensitive(true);
  EXPECT_EQ(cursorName(filled), "pointer");
}

TEST_F(SignInKitTest, MarkLoadsItsArtworkFromTheProgramAndStaysOutOfTheAccessibilityTree) {
  OrlithMark mark(42);
  Gtk::Box box;
  box.append(mark);
  show(box, 200, 200);
  auto paintable = mark.picture().get_paintable();
  ASSERT_TRUE(paintable);
  EXPECT_EQ(paintable->get_intrinsic_width(), 256);
  EXPECT_EQ(mark.get_width(), 42);
  EXPECT_EQ(mark.get_height(), 42);
  EXPECT_EQ(mark.picture().get_width(), 42);
  EXPECT_EQ(mark.picture().get_content_fit(), Gtk::ContentFit::CONTAIN);
  EXPECT_TRUE(
      gtk_test_accessible_has_role(GTK_ACCESSIBLE(mark.gobj()), GTK_ACCESSIBLE_ROLE_PRESENTATION));
  char* failure = gtk_test_accessible_check_state(GTK_ACCESSIBLE(mark.gobj()),
                                                  GTK_ACCESSIBLE_STATE_HIDDEN, TRUE);
  EXPECT_EQ(failure, nullptr) << failure;
  g_free(failure);
}

TEST_F(SignInKitTest, LockupIsOneAccessibleElementAndItsWordShrinksBeforeTruncating) {
  AuthBrandLockup lockup("Sign in to continue to your workspace and everything in it");
  Gtk::Box box;
  box.append(lockup);
  show(box, 400, 300);
  char* failure = gtk_test_accessible_check_property(
      GTK_ACCESSIBLE(lockup.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL,
      "Orlith, Sign in to continue to your workspace and everything in it");
  EXPECT_EQ(failure, nullptr) << failure;
  g_free(failure);
  failure = gtk_test_accessible_check_state(GTK_ACCESSIBLE(lockup.subtitle().gobj()),
                                            GTK_ACCESSIBLE_STATE_HIDDEN, TRUE);
  EXPECT_EQ(failure, nullptr) << failure;
  g_free(failure);
  EXPECT_DOUBLE_EQ(lockup.word().scale(), 1.0);

  // Narrow: the word shrinks, never below 0.78, and the subtitle wraps onto more lines.
  const int wideSubtitleHeight = lockup.subtitle().get_height();
  window_->set_default_size(60, 300);
  box.set_size_request(60, -1);
  window_->set_size_request(60, -1);
  gtk_widget_queue_resize(GTK_WIDGET(window_->gobj()));
  testing::spinUntil([&] { return lockup.get_width() <= 80; }, std::chrono::seconds(5));
  gtk_test_widget_wait_for_draw(GTK_WIDGET(window_->gobj()));
  EXPECT_LT(lockup.word().scale(), 1.0);
  EXPECT_GE(lockup.word().scale(), 0.78);
  EXPECT_GT(lockup.subtitle().get_height(), wideSubtitleHeight);
}

TEST_F(SignInKitTest, LabelsShowTheirSpinnerOnlyWhileLoading) {
  Gtk::Image icon;
  icon.set_from_icon_name("avatar-default-symbolic");
  AuthSocialButtonLabel social("Continue with GitHub", false, icon);
  AuthPrimaryButtonLabel primary("Sign in", false);
  EXPECT_TRUE(icon.get_visible());
  EXPECT_FALSE(social.spinner().get_visible());
  EXPECT_FALSE(primary.spinner().get_visible());
  social.setLoading(true);
  primary.setLoading(true);
  EXPECT_FALSE(icon.get_visible());
  EXPECT_TRUE(social.spinner().get_visible());
  EXPECT_TRUE(social.spinner().get_spinning());
  EXPECT_TRUE(primary.spinner().get_visible());
  EXPECT_TRUE(social.has_css_class(kLoadingClass));
  social.setLoading(false);
  EXPECT_TRUE(icon.get_visible());
  EXPECT_FALSE(social.spinner().get_visible());
}

}  // namespace
}  // namespace orlith
