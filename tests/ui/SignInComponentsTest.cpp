// The sign-in window's small widgets on real GTK: the mode switch, the input row's accessible
// label and the two-factor sheet's close.
#include <gmock/gmock.h>
#include <gtkmm.h>

#include "../unit/signin/FakeAuthStore.h"
#include "UiHarness.h"
#include "signin/gtk/AuthInputRow.h"
#include "signin/gtk/AuthModeSwitch.h"
#include "signin/gtk/TwoFactorChallengeSheet.h"

namespace orlith {
namespace {

std::string identity(const std::string& key) {
  return key;
}

TEST(AuthModeSwitch, ChoosingAnyTabCallsOnSelectAndTheTabsFollowTheSelection) {
  std::vector<EmailAuthMode> chosen;
  AuthModeSwitch modeSwitch(
      EmailAuthMode::signIn, [&](EmailAuthMode mode) { chosen.push_back(mode); }, identity);
  EXPECT_TRUE(modeSwitch.tab(EmailAuthMode::signIn).get_active());
  EXPECT_EQ(modeSwitch.tab(EmailAuthMode::signUp).get_label(), "Create");

  g_signal_emit_by_name(modeSwitch.tab(EmailAuthMode::signIn).gobj(), "clicked");
  g_signal_emit_by_name(modeSwitch.tab(EmailAuthMode::signUp).gobj(), "clicked");
  EXPECT_THAT(chosen, ::testing::ElementsAre(EmailAuthMode::signIn, EmailAuthMode::signUp));
  // The switch keeps no selection of its own: the tab pressed is shown only when the owner says.
  modeSwitch.setSelection(EmailAuthMode::signIn);
  EXPECT_TRUE(modeSwitch.tab(EmailAuthMode::signIn).get_active());
  EXPECT_FALSE(modeSwitch.tab(EmailAuthMode::signUp).get_active());
  modeSwitch.setSelection(EmailAuthMode::signUp);
  EXPECT_EQ(chosen.size(), 2u);
  EXPECT_FALSE(modeSwitch.tab(EmailAuthMode::signIn).get_active());

  EXPECT_EQ(modeSwitch.widget().get_accessible_role(), Gtk::Accessible::Role::GROUP);
  char* failure =
      gtk_test_accessible_check_property(GTK_ACCESSIBLE(modeSwitch.widget().gobj()),
                                         GTK_ACCESSIBLE_PROPERTY_LABEL, "Authentication mode");
  EXPECT_EQ(failure, nullptr) << failure;
  g_free(failure);
}

TEST(AuthInputRow, TheEntryCarriesTheTitleAndTheCaptionIsHidden) {
  Gtk::Entry entry;
  AuthInputRow row("Email", entry);
  char* failure = gtk_test_accessible_check_property(GTK_ACCESSIBLE(entry.gobj()),
                                                     GTK_ACCESSIBLE_PROPERTY_LABEL, "Email");
  EXPECT_EQ(failure, nullptr) << failure;
  g_free(failure);
  failure = gtk_test_accessible_check_state(GTK_ACCESSIBLE(row.caption().gobj()),
                                            GTK_ACCESSIBLE_STATE_HIDDEN, TRUE);
  EXPECT_EQ(failure, nullptr) << failure;
  g_free(failure);
  int minimum = 0, natural = 0, ignored = 0;
  entry.measure(Gtk::Orientation::VERTICAL, -1, minimum, natural, ignored, ignored);
  EXPECT_GE(minimum, 26);
}

TEST(TwoFactorChallengeSheet, AWindowManagerCloseCancelsTheChallenge) {
  auto store = std::make_shared<testing::FakeAuthStore>();
  store->pending = "p";
  SilentAnnouncer announcer;
  int dismissed = 0;
  auto* sheet = new TwoFactorChallengeSheet(TwoFactorChallengeView::create(store, announcer),
                                            identity, [&] { ++dismissed; });
  sheet->present();
  ASSERT_TRUE(testing::spinUntil([&] { return sheet->get_mapped(); }, std::chrono::seconds(10)));
  EXPECT_TRUE(testing::spinUntil(
      [&] {
        return sheet->get_focus() == &sheet->codeEntry() ||
               (sheet->get_focus() && sheet->get_focus()->is_ancestor(sheet->codeEntry()));
      },
      std::chrono::seconds(5)));
  EXPECT_FALSE(sheet->verifyButton().get_sensitive());
  sheet->codeEntry().set_text(" 12 ");
  EXPECT_TRUE(sheet->verifyButton().get_sensitive());

  sheet->close();
  testing::spinUntil([&] { return dismissed > 0; }, std::chrono::seconds(5));
  EXPECT_EQ(dismissed, 1);
  EXPECT_FALSE(store->pending);
  EXPECT_THAT(store->calls, ::testing::Contains("cancelTwoFactor"));
  sheet->destroy();
  delete sheet;
}

}  // namespace
}  // namespace orlith
