// The surface host: which tab's surface shows, which tabs render, and which surfaces live.
#include "workspace/window/WorkspaceTabSurfaceHost.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/TabsModelServices.h"
#include "unit/surface/SurfaceEnvironments.h"
#include "workspace/window/WorkspaceTabsModel.h"

namespace orlith {
namespace {

TEST(TabSurfaceVisibilityTest, TruthTable) {
  struct Case {
    TabSurfaceVisibilityInputs inputs;
    bool visible;
  };
  using I = TabSurfaceVisibilityInputs;
  const Case cases[] = {
      {I{false, false, false, false, false, false}, true},  // no window yet
      {I{true, false, false, false, false, false}, false},  // host hidden
      {I{false, true, false, false, false, false}, false},  // application hidden
      {I{false, false, true, true, false, false}, true},    // shown window
      {I{false, false, true, false, false, false}, false},  // window not shown
      {I{false, false, true, true, true, false}, false},    // minimized
      {I{false, false, true, true, false, true}, false},    // occluded
      {I{true, false, true, true, false, false}, false},
      {I{false, true, true, true, false, false}, false},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(cases[i].inputs.isVisible(), cases[i].visible) << "case " << i;
}

struct SurfaceLog {
  std::map<std::string, bool> hidden;
  std::map<std::string, int> updates;
  std::vector<std::string> made;
  std::vector<std::string> dismantled;
};

class RecordingSurface final : public WorkspaceTabSurfaceHost::Surface {
 public:
  RecordingSurface(std::string id, SurfaceLog& log) : id_(std::move(id)), log_(log) {}
  void setHidden(bool hidden) override { log_.hidden[id_] = hidden; }
  void update() override { ++log_.updates[id_]; }
  void dismantle() override { log_.dismantled.push_back(id_); }

 private:
  std::string id_;
  SurfaceLog& log_;
};

class HostTest : public ::testing::Test, protected testing::TabsModelServices {
 protected:
  HostTest() {
    model = makeTabsModel(testing::productionEnvironment());
    host = std::make_unique<WorkspaceTabSurfaceHost>(
        [this](const auto& tab) {
          log.made.push_back(tab->id());
          return std::make_unique<RecordingSurface>(tab->id(), log);
        },
        time);
  }

  // Records every activity call a tab gets.
  void recordActivity() {
    for (const auto& tab : model->tabs())
      tab->onRenderingActivityChanged = [this, id = tab->id()](bool active) {
        activity.push_back({id, active});
      };
  }

  static TabSurfaceVisibilityInputs shownWindow(bool minimized = false) {
    TabSurfaceVisibilityInputs inputs;
    inputs.hasWindow = true;
    inputs.windowVisible = true;
    inputs.windowMinimized = minimized;
    return inputs;
  }

  std::string id(std::size_t index) const { return model->tabs()[index]->id(); }

  std::shared_ptr<WorkspaceTabsModel> model;
  SurfaceLog log;
  std::unique_ptr<WorkspaceTabSurfaceHost> host;
  std::vector<std::pair<std::string, bool>> activity;
};

TEST_F(HostTest, ShowsOnlyTheSelectedTabAndSwitchingMovesActivity) {
  model->newTab();
  model->newTab();
  host->setVisibilityInputs(shownWindow());
  model->selectedTab()->setReady(true);  // background tabs start at once
  host->sync(model);
  EXPECT_EQ(log.hidden,
            (std::map<std::string, bool>{{id(0), true}, {id(1), true}, {id(2), false}}));
  for (std::size_t i = 0; i < 3; ++i)
    EXPECT_EQ(model->tabs()[i]->isActiveForRendering(), i == 2);

  recordActivity();
  model->select(id(0));
  host->sync(model);
  EXPECT_EQ(activity, (std::vector<std::pair<std::string, bool>>{{id(0), true}, {id(2), false}}));
  EXPECT_FALSE(log.hidden[id(0)]);
  EXPECT_TRUE(log.hidden[id(2)]);
}

TEST_F(HostTest, AnUnchangedSyncCallsNoActivityButRefreshesEveryTab) {
  model->newTab();
  host->setVisibilityInputs(shownWindow());
  model->selectedTab()->setReady(true);  // background tabs start at once
  host->sync(model);
  recordActivity();
  host->sync(model);
  EXPECT_TRUE(activity.empty());
  EXPECT_EQ(log.updates[id(0)], 2);
  EXPECT_EQ(log.updates[id(1)], 2);
  EXPECT_EQ(log.made.size(), 2u);
}

TEST_F(HostTest, MinimizingStopsEveryTabAndRestoringResumesOnlyTheSelected) {
  model->newTab();
  host->setVisibilityInputs(shownWindow());
  model->selectedTab()->setReady(true);  // background tabs start at once
  host->sync(model);
  recordActivity();
  host->setVisibilityInputs(shownWindow(true));
  EXPECT_EQ(activity, (std::vector<std::pair<std::string, bool>>{{id(1), false}}));
  EXPECT_TRUE(log.hidden[id(1)]);
  activity.clear();
  host->setVisibilityInputs(shownWindow(false));
  EXPECT_EQ(activity, (std::vector<std::pair<std::string, bool>>{{id(1), true}}));
  EXPECT_FALSE(log.hidden[id(1)]);
}

TEST_F(HostTest, ClosingDismantlesOnlyTheLeavingTab) {
  model->newTab();
  model->newTab();
  model->selectedTab()->setReady(true);  // background tabs start at once
  host->sync(model);
  std::string leaving = id(1);
  std::string kept0 = id(0);
  std::string kept2 = id(2);
  model->closeTab(leaving);
  host->sync(model);
  EXPECT_EQ(log.dismantled, std::vector<std::string>{leaving});
  EXPECT_FALSE(host->hasSurface(leaving));
  EXPECT_TRUE(host->hasSurface(kept0));
  EXPECT_TRUE(host->hasSurface(kept2));
  EXPECT_EQ(log.made.size(), 3u);  // nothing rebuilt

  host.reset();
  EXPECT_EQ(log.dismantled.size(), 3u);
}

TEST_F(HostTest, BackgroundTabsWaitForTheSelectedTabsFirstContent) {
  struct Case {
    const char* name;
    std::function<void(WorkspaceModel&)> settle;
    std::chrono::milliseconds wait;
  };
  using namespace std::chrono_literals;
  const Case cases[] = {{"ready", [](WorkspaceModel& tab) { tab.setReady(true); }, 0ms},
                        {"failed", [](WorkspaceModel& tab) { tab.setDidFailToLoad(true); }, 0ms},
                        {"timeOut", [](WorkspaceModel&) {}, 4000ms}};
  for (const Case& c : cases) {
    log = {};
    model->resetSession();
    model->newTab();
    model->newTab();
    model->select(id(1));
    host = std::make_unique<WorkspaceTabSurfaceHost>(
        [this](const auto& tab) {
          log.made.push_back(tab->id());
          return std::make_unique<RecordingSurface>(tab->id(), log);
        },
        time);
    host->sync(model);
    EXPECT_EQ(log.made, std::vector<std::string>{id(1)}) << c.name;
    EXPECT_TRUE(host->hasDeferredTabs()) << c.name;

    time.advance(3999ms);
    c.settle(*model->tabs()[1]);
    host->sync(model);
    if (c.wait > 0ms)
      time.advance(1ms);
    EXPECT_EQ(log.made.size(), 3u) << c.name;
    EXPECT_EQ(log.made.front(), id(1)) << c.name;
    EXPECT_FALSE(host->hasDeferredTabs()) << c.name;
    EXPECT_EQ(log.hidden[id(0)], true) << c.name;
  }
}

TEST_F(HostTest, AHostOutsideAWindowCountsAsVisible) {
  host->sync(model);
  EXPECT_TRUE(host->isVisible());
  EXPECT_TRUE(model->selectedTab()->isActiveForRendering());
  TabSurfaceVisibilityInputs hidden;
  hidden.hostHidden = true;
  host->setVisibilityInputs(hidden);
  EXPECT_FALSE(model->selectedTab()->isActiveForRendering());
}

}  // namespace
}  // namespace orlith
