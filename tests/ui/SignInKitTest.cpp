// The sign-in kit on the real toolkit: the loading veil's hit testing, the pointing hand, the
// mark's resource and accessibility.
#include <gmock/gmock.h>
#include <gtkmm.h>

#include "UiHarness.h"
#include "signin/gtk/AuthBrandLockup.h"
#include "signin/gtk/AuthKitStyleSheet.h"
#include "signin/gtk/AuthLinkButtonStyle.h"
#include "signin/gtk/AuthPrimaryButtonLabel.h"
#include "signin/gtk/AuthSocialButtonLabel.h"
#include "signin/gtk/AuthSocialButtonStyle.h"
#include "signin/gtk/LoadingOverlay.h"
#include "ui/AppearanceStyleProvider.h"
#include "ui/AuthFilledButtonStyle.h"
#include "ui/BrandLoadingView.h"
#include "ui/OnScreenSpinner.h"
#include "ui/OrlithMark.h"

namespace orlith {
namespace {

class SignInKitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    styles_ = AppearanceStyleProvider::palette(Gdk::Display::get_default(), false);
    addAuthKitStyleSheet(*styles_);
  }

  void redraw() { testing::presentAndWait(window_->gobj()); }

  // How many pixels of the two renderings differ by more than the tolerance, within columns
  // [fromX, toX) and one pixel inside the top and bottom.
  static int differingPixels(const testing::WidgetPixels& a, const testing::WidgetPixels& b,
                             int fromX = 0, int toX = -1) {
    EXPECT_EQ(std::make_pair(a.width(), a.height()), std::make_pair(b.width(), b.height()));
    if (toX < 0)
      toX = a.width();
    int count = 0;
    for (int y = 1; y + 1 < a.height(); ++y) {
      for (int x = fromX; x < toX; ++x)
        count += a.at(x, y).near(b.at(x, y)) ? 0 : 1;
    }
    return count;
  }

  // Shows `content` in a window of the given size and waits until it has been drawn.
  Gtk::Window& show(Gtk::Widget& content, int width, int height) {
    window_ = std::make_unique<Gtk::Window>();
    window_->set_default_size(width, height);
    window_->set_child(content);
    testing::presentAndWait(window_->gobj());
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
  EXPECT_TRUE(veil.spinner().isTurning());

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
  redraw();
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
  EXPECT_TRUE(social.spinner().isTurning());
  EXPECT_TRUE(primary.spinner().get_visible());
  EXPECT_TRUE(social.has_css_class(kLoadingClass));
  social.setLoading(false);
  EXPECT_TRUE(icon.get_visible());
  EXPECT_FALSE(social.spinner().get_visible());
}

TEST_F(SignInKitTest, DisabledButtonsTakeNoHoverLook) {
  Gtk::Box box(Gtk::Orientation::VERTICAL, 8);
  box.set_margin_start(20);
  box.set_margin_end(20);
  Gtk::Button filled, social, link("Forgot password?");
  AuthPrimaryButtonLabel primaryLabel("Sign in", false);
  filled.set_child(primaryLabel);
  AuthFilledButtonStyle::apply(filled);
  Gtk::Image icon;
  icon.set_from_icon_name("avatar-default-symbolic");
  AuthSocialButtonLabel socialLabel("Continue with Google", false, icon);
  social.set_child(socialLabel);
  AuthSocialButtonStyle(AuthSocialButtonKind::google, false).apply(social);
  AuthLinkButtonStyle(OrlithPalette::accentText).apply(link);
  link.set_halign(Gtk::Align::CENTER);
  for (Gtk::Button* button : {&filled, &social, &link})
    box.append(*button);
  show(box, 360, 200);

  for (Gtk::Button* button : {&filled, &social, &link}) {
    SCOPED_TRACE(button->get_css_classes().front().raw());
    auto hovered = [&] {
      button->set_state_flags(Gtk::StateFlags::PRELIGHT, false);
      redraw();
      auto pixels = testing::renderWidget(GTK_WIDGET(button->gobj()));
      button->unset_state_flags(Gtk::StateFlags::PRELIGHT);
      redraw();
      return pixels;
    };
    auto plain = testing::renderWidget(GTK_WIDGET(button->gobj()));
    EXPECT_GT(differingPixels(plain, hovered()), 0);

    button->set_sensitive(false);
    redraw();
    auto disabled = testing::renderWidget(GTK_WIDGET(button->gobj()));
    EXPECT_GT(differingPixels(plain, disabled), 0);
    EXPECT_EQ(differingPixels(disabled, hovered()), 0);
    button->set_sensitive(true);
    redraw();
  }
}

TEST_F(SignInKitTest, LoadingProviderLabelStaysOpaqueWithItsSpinnerWhileItsButtonIsDisabled) {
  struct Row {
    bool enabled, preserves, loading;
  };
  const Row rows[] = {
      {true, false, true},    // the reference: nothing fades
      {false, true, true},    // disabled, but kept and loading: nothing fades either
      {false, false, false},  // disabled: faded by the button and again by the label
  };
  Gtk::Box box(Gtk::Orientation::VERTICAL, 8);
  box.set_margin_start(20);
  box.set_margin_end(20);
  std::vector<std::unique_ptr<Gtk::Image>> icons;
  std::vector<std::unique_ptr<AuthSocialButtonLabel>> labels;
  std::vector<std::unique_ptr<Gtk::Button>> buttons;
  for (const Row& row : rows) {
    icons.push_back(std::make_unique<Gtk::Image>());
    icons.back()->set_from_icon_name("avatar-default-symbolic");
    labels.push_back(std::make_unique<AuthSocialButtonLabel>("Continue with GitHub", row.loading,
                                                             *icons.back()));
    buttons.push_back(std::make_unique<Gtk::Button>());
    buttons.back()->set_child(*labels.back());
    AuthSocialButtonStyle(AuthSocialButtonKind::github, row.preserves).apply(*buttons.back());
    buttons.back()->set_sensitive(row.enabled);
    box.append(*buttons.back());
  }
  show(box, 360, 200);

  std::vector<testing::WidgetPixels> pictures;
  for (auto& button : buttons)
    pictures.push_back(testing::renderWidget(GTK_WIDGET(button->gobj())));
  // The title's part of the button; the spinner, which turns, sits at the leading edge.
  const int from = pictures[0].width() * 2 / 5, to = pictures[0].width() * 9 / 10;
  EXPECT_EQ(differingPixels(pictures[0], pictures[1], from, to), 0);
  EXPECT_GT(differingPixels(pictures[0], pictures[2], from, to), 0);
  EXPECT_TRUE(labels[1]->spinner().get_visible());
  EXPECT_TRUE(labels[1]->spinner().isTurning());
  EXPECT_FALSE(icons[1]->get_visible());
}

TEST_F(SignInKitTest, SavesAPictureOfTheKitInLightAndDark) {
  Gtk::Box page(Gtk::Orientation::VERTICAL, 14);
  page.add_css_class("orlith-brand-loading");
  page.set_size_request(380, -1);
  AuthBrandLockup lockup("Sign in to your workspace");
  Gtk::Image googleIcon, githubIcon;
  googleIcon.set_from_icon_name("avatar-default-symbolic");
  githubIcon.set_from_icon_name("system-search-symbolic");
  AuthSocialButtonLabel googleLabel("Continue with Google", false, googleIcon);
  AuthSocialButtonLabel githubLabel("Continue with GitHub", true, githubIcon);
  Gtk::Button google, github, filled, disabledFilled, link("Forgot password?");
  google.set_child(googleLabel);
  github.set_child(githubLabel);
  AuthSocialButtonStyle(AuthSocialButtonKind::google, false).apply(google);
  AuthSocialButtonStyle(AuthSocialButtonKind::github, true).apply(github);
  github.set_sensitive(false);
  AuthPrimaryButtonLabel filledLabel("Sign in", false);
  AuthPrimaryButtonLabel busyLabel("Sending code", true);
  filled.set_child(filledLabel);
  disabledFilled.set_child(busyLabel);
  AuthFilledButtonStyle::apply(filled);
  AuthFilledButtonStyle::apply(disabledFilled);
  disabledFilled.set_sensitive(false);
  AuthLinkButtonStyle(OrlithPalette::accentText).apply(link);
  link.set_halign(Gtk::Align::CENTER);
  Gtk::Overlay veiled;
  BrandLoadingView loading;
  loading.set_size_request(-1, 120);
  LoadingOverlay veil(true);
  veiled.set_child(loading);
  veiled.add_overlay(veil);
  for (Gtk::Widget* child : std::initializer_list<Gtk::Widget*>{&lockup, &google, &github, &filled,
                                                                &disabledFilled, &link, &veiled}) {
    child->set_margin_start(24);
    child->set_margin_end(24);
    page.append(*child);
  }
  page.set_margin_top(0);
  show(page, 380, 640);
  ASSERT_TRUE(
      testing::spinUntil([&] { return veil.get_child_revealed(); }, std::chrono::seconds(5)));

  for (bool dark : {false, true}) {
    styles_->setDark(dark);
    redraw();
    auto picture = testing::renderWidget(GTK_WIDGET(page.gobj()));
    const auto path = picture.save(dark ? "sign-in-kit-dark" : "sign-in-kit-light");
    EXPECT_GT(std::filesystem::file_size(path), 1000u);
    // The page's own background is the canvas of the appearance.
    const SrgbColour& canvas = OrlithPalette::canvas.resolved(dark);
    auto byte = [](double c) { return static_cast<int>(std::lround(c * 255)); };
    EXPECT_TRUE(picture.at(2, 2).near(
        testing::Rgba{byte(canvas.red), byte(canvas.green), byte(canvas.blue), 255}));
  }
}

// The spinner draws itself in its CSS colour, and asks for frames only while it turns on screen
// with animations on.
TEST_F(SignInKitTest, SpinnerDrawsInItsColourAndTurnsOnlyWhileOnScreen) {
  const testing::AnimationsOn animations;
  auto css = Gtk::CssProvider::create();
  css->load_from_data(".orlith-spinner { color: rgb(255,0,0); }");
  Gtk::StyleContext::add_provider_for_display(Gdk::Display::get_default(), css,
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 10);
  Gtk::Stack stack;
  OnScreenSpinner spinner;
  Gtk::Label other("other");
  spinner.set_size_request(32, 32);
  stack.add(spinner);
  stack.add(other);
  stack.set_visible_child(spinner);
  show(stack, 64, 64);
  EXPECT_FALSE(spinner.isAnimating());

  spinner.setTurning(true);
  EXPECT_TRUE(spinner.isAnimating());
  redraw();
  const testing::WidgetPixels pixels = testing::renderWidget(GTK_WIDGET(spinner.gobj()));
  pixels.save("spinner");
  int red = 0;
  for (int y = 0; y < pixels.height(); ++y)
    for (int x = 0; x < pixels.width(); ++x)
      red += pixels.at(x, y).near({255, 0, 0, 255}, 40) ? 1 : 0;
  EXPECT_GT(red, 10);

  // Off screen it stops, and on screen again it turns again.
  stack.set_visible_child(other);
  EXPECT_TRUE(testing::spinUntil([&] { return !spinner.get_mapped(); }, std::chrono::seconds(5)));
  EXPECT_FALSE(spinner.isAnimating());
  EXPECT_TRUE(spinner.isTurning());
  stack.set_visible_child(spinner);
  EXPECT_TRUE(testing::spinUntil([&] { return spinner.isAnimating(); }, std::chrono::seconds(5)));
  spinner.setTurning(false);
  EXPECT_FALSE(spinner.isAnimating());
  Gtk::StyleContext::remove_provider_for_display(Gdk::Display::get_default(), css);
}

}  // namespace
}  // namespace orlith
