// "Check for Updates" on the app's real update client: the command goes through the update
// coordinator, which opens the panel of the window's update indicator and runs a check, whose
// outcome the panel and the indicator then show.
#include <gmock/gmock.h>
#include <stdexcept>

#include "WorkspaceWindowFixture.h"
#include "update/client/gtk/UpdateIndicatorButton.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

class UpdateCommand : public testing::WorkspaceWindowFixture {};

TEST_F(UpdateCommand, CheckForUpdatesOpensTheSignedOutWindowsPanelAndShowsTheOutcome) {
  ApplicationContext& context = launch();
  MainWindow& window = openWindow();
  ASSERT_TRUE(testing::activate(GTK_WINDOW(window.gobj())));
  auto* indicator = dynamic_cast<UpdateIndicatorButton*>(window.updateIndicator());
  ASSERT_NE(indicator, nullptr) << "the window's corner holds the update client's indicator";
  ASSERT_TRUE(testing::spinUntil([&] { return indicator->is_drawable(); }, 5s));

  context.updates().checkForUpdates();
  ASSERT_TRUE(testing::spinUntil(
      [&] { return indicator->hasPanel() && indicator->panel().isShown(); }, 5s));
  // The check ends one way or the other: nothing newer, or the origin cannot be reached.
  const auto ended = [&] {
    const std::string heading = indicator->panel().content().heading().get_text();
    return heading == "You're up to date" || heading == "Couldn't update Orlith";
  };
  ASSERT_TRUE(testing::spinUntil(ended, 30s)) << indicator->panel().content().heading().get_text();
  EXPECT_EQ(indicator->statusText(),
            std::string(indicator->panel().content().heading().get_text()));
  EXPECT_TRUE(indicator->panel().content().primary().get_sensitive());
  EXPECT_TRUE(testing::spinUntil(
      [&] {
        return indicator->panel().popover().get_mapped() &&
               indicator->panel().popover().get_width() > 0;
      },
      5s));
  // The picture is for a person to look at; a popover that has not drawn into its own surface
  // yet gives none, which says nothing about the command.
  try {
    testing::renderWidget(GTK_WIDGET(indicator->panel().popover().gobj()))
        .save("update-command-panel");
  } catch (const std::runtime_error&) {
  }
  indicator->popdown();
}

}  // namespace
}  // namespace orlith
