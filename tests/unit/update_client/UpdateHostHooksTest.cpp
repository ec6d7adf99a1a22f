// The production dependencies' restart step: the announcement, then the panels, then the quit.
#include "update/client/UpdateHostHooks.h"

#include <gtest/gtest.h>

#include "support/ManualMainQueue.h"
#include "support/ManualTime.h"
#include "support/SequentialUuidSource.h"
#include "unit/session/FakeHttpTransport.h"

namespace orlith {
namespace {

TEST(UpdateHostHooksTest, RestartAnnouncesThenClosesPanelsThenQuitsAndPassesTheAnswer) {
  testing::ManualMainQueue queue;
  MainQueue::Installation installation(queue);
  testing::ManualTime time;
  SequentialUuidSource uuids;
  std::vector<std::string> order;
  UpdateHostHooks hooks;
  hooks.announceRestart = [&] { order.push_back("announce"); };
  hooks.closePanels = [&] { order.push_back("close panels"); };
  hooks.terminate = [&] {
    order.push_back("terminate");
    return TerminateAnswer::refused;
  };
  const auto dependencies = makeUpdateCoordinatorDependencies(
      std::make_shared<testing::FakeHttpTransport>(), time, uuids, std::move(hooks));
  EXPECT_EQ(dependencies.persistAndTerminate(), TerminateAnswer::refused);
  EXPECT_EQ(order, (std::vector<std::string>{"announce", "close panels", "terminate"}));
}

}  // namespace
}  // namespace orlith
