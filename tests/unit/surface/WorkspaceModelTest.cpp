// One tab's model: its first address, reload and retry, and the delivery of desktop commands.
#include "workspace/surface/WorkspaceModel.h"

#include "workspace/surface/WebSurfaceScripts.h"

#include <gtest/gtest.h>

#include "support/FakeWebEngineView.h"
#include "support/ManualMainQueue.h"
#include "support/ManualTime.h"
#include "unit/surface/SurfaceEnvironments.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;
using testing::FakeWebEngineView;
using testing::productionEnvironment;
using testing::url;

struct InitialCase {
  const char* name;
  std::optional<std::string> given;
  std::string expected;
};

class InitialUrlTest : public ::testing::TestWithParam<InitialCase> {};

TEST_P(InitialUrlTest, KeepsOnlyRecoverableUnambiguousWorkspaceAddresses) {
  testing::ManualTime time;
  std::optional<Url> given;
  if (GetParam().given)
    given = url(GetParam().given->c_str());
  auto model = WorkspaceModel::create(productionEnvironment(), given, time);
  EXPECT_EQ(model->initialURL().absoluteString(), GetParam().expected);
}

const std::string kAppPage = "https://orlith.example/app";

INSTANTIATE_TEST_SUITE_P(
    Addresses, InitialUrlTest,
    ::testing::Values(
        InitialCase{"none", std::nullopt, kAppPage},
        InitialCase{"appPage", "https://orlith.example/app/board/1",
                    "https://orlith.example/app/board/1"},
        InitialCase{"queryAndFragmentDropped", "https://orlith.example/app/x?q=1#f",
                    "https://orlith.example/app/x"},
        InitialCase{"outsideApp", "https://orlith.example/share/x", kAppPage},
        InitialCase{"otherHost", "https://evil.example/app", kAppPage},
        InitialCase{"explicitDefaultPort", "https://orlith.example:443/app/x", kAppPage},
        InitialCase{"credentials", "https://ada@orlith.example/app", kAppPage},
        InitialCase{"dotSegment", "https://orlith.example/app/../admin", kAppPage},
        InitialCase{"encodedDotSegment", "https://orlith.example/app/%2e%2e/admin", kAppPage},
        InitialCase{"encodedSlash", "https://orlith.example/app/a%2Fb", kAppPage},
        InitialCase{"encodedBackslash", "https://orlith.example/app/%5Cx", kAppPage},
        InitialCase{"encodedControl", "https://orlith.example/app/%07", kAppPage}),
    [](const auto& info) { return std::string(info.param.name); });

class WorkspaceModelTest : public ::testing::Test {
 protected:
  WorkspaceModelTest() {
    model_ = WorkspaceModel::create(productionEnvironment(), std::nullopt, time_);
    model_->setWebView(view_);
    model_->changed().connect([this] { ++changes_; });
  }
  // A delivery still waiting ends through the main queue once its model is gone.
  ~WorkspaceModelTest() override {
    model_.reset();
    queue_.runUntilIdle();
  }

  void run() { queue_.runUntilIdle(); }
  void advance(std::chrono::milliseconds span) {
    time_.advance(span);
    run();
  }
  bool enqueue(const char* type) { return model_->pendingCommands().enqueue(Json{{"type", type}}); }

  testing::ManualMainQueue queue_;
  MainQueue::Installation installation_{queue_};
  testing::ManualTime time_;
  std::shared_ptr<FakeWebEngineView> view_ = std::make_shared<FakeWebEngineView>();
  std::shared_ptr<WorkspaceModel> model_;
  int changes_ = 0;
};

TEST_F(WorkspaceModelTest, StartsWithItsDocumentedState) {
  EXPECT_EQ(model_->pageTitle(), "Orlith Workspace");
  EXPECT_TRUE(model_->isSelectedTab());
  EXPECT_TRUE(model_->isActiveForRendering());
  EXPECT_FALSE(model_->hasLoadedOnce());
  EXPECT_EQ(model_->id().size(), 36u);
  EXPECT_NE(model_->id(), WorkspaceModel::create(productionEnvironment(), {}, time_)->id());
}

TEST_F(WorkspaceModelTest, PublishedChangesSignalOnceAndLoadedOnceIsNeverCleared) {
  model_->setLoading(true);
  model_->setLoading(true);
  model_->setReadinessError("x");
  EXPECT_EQ(changes_, 2);
  model_->markLoadedOnce();
  model_->markLoadedOnce();
  EXPECT_TRUE(model_->hasLoadedOnce());
  EXPECT_EQ(changes_, 3);
}

TEST_F(WorkspaceModelTest, ActivityAndSelectionCallbacksRunOncePerChangeAfterTheFlag) {
  std::vector<bool> activity;
  model_->onRenderingActivityChanged = [&](bool active) {
    EXPECT_EQ(model_->isActiveForRendering(), active);
    activity.push_back(active);
  };
  int selections = 0;
  model_->onSelectionChanged = [&] { ++selections; };
  model_->setActiveForRendering(true);
  model_->setActiveForRendering(false);
  model_->setActiveForRendering(false);
  model_->setActiveForRendering(true);
  model_->setSelectedTab(false);
  model_->setSelectedTab(false);
  EXPECT_EQ(activity, (std::vector<bool>{false, true}));
  EXPECT_EQ(selections, 1);
}

struct ReloadCase {
  const char* name;
  std::optional<std::string> currentUri;
  bool reloads;
};

class ReloadTest : public WorkspaceModelTest, public ::testing::WithParamInterface<ReloadCase> {};

TEST_P(ReloadTest, ReloadsAWebPageElseLoadsTheInitialAddress) {
  model_->setDidFailToLoad(true);
  model_->setReadinessError("The page did not finish preparing its display. Try again.");
  view_->uri = GetParam().currentUri;
  model_->reload(ReloadCache::bypass);
  EXPECT_FALSE(model_->didFailToLoad());
  EXPECT_FALSE(model_->readinessError());
  if (GetParam().reloads) {
    EXPECT_EQ(view_->reloads, std::vector<ReloadCache>{ReloadCache::bypass});
    EXPECT_TRUE(view_->loads.empty());
  } else {
    EXPECT_TRUE(view_->reloads.empty());
    EXPECT_EQ(view_->loads, std::vector<std::string>{kAppPage});
  }
}

INSTANTIATE_TEST_SUITE_P(
    Uris, ReloadTest,
    ::testing::Values(ReloadCase{"webPage", "https://orlith.example/app/x", true},
                      ReloadCase{"noAddress", std::nullopt, false},
                      ReloadCase{"aboutBlank", "about:blank", false},
                      ReloadCase{"dataUrl", "data:text/html,x", false},
                      ReloadCase{"unparsable", "https://orlith.example/a b", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WorkspaceModelTest, RetryLoadsTheAppPageAndWithoutViewOnlyClearsTheFailure) {
  auto restored = WorkspaceModel::create(productionEnvironment(),
                                         url("https://orlith.example/app/board/9"), time_);
  restored->setWebView(view_);
  restored->retry();
  EXPECT_EQ(view_->loads, std::vector<std::string>{kAppPage});

  model_->setWebView({});
  model_->setDidFailToLoad(true);
  model_->retry();
  model_->reload(ReloadCache::use);
  EXPECT_FALSE(model_->didFailToLoad());
  EXPECT_EQ(view_->loads.size(), 1u);
}

TEST_F(WorkspaceModelTest, DeliversEachAcceptedCommandAtOnceInOrder) {
  view_->defaultAnswer = Json(true);
  ASSERT_TRUE(enqueue("new-note"));
  ASSERT_TRUE(enqueue("toggle-sidebar"));
  const std::string firstJson = model_->pendingCommands().commands()[0].json;
  model_->startCommandDeliveryIfNeeded();
  EXPECT_TRUE(model_->isDeliveringCommands());
  run();
  ASSERT_EQ(view_->evaluations.size(), 2u);
  EXPECT_EQ(view_->evaluations[0].world, ScriptWorld::page);
  EXPECT_EQ(view_->evaluations[0].source,
            WebSurfaceScripts::desktopCommandScript("https://orlith.example", firstJson));
  EXPECT_TRUE(model_->pendingCommands().empty());
  EXPECT_FALSE(model_->isDeliveringCommands()) << "an empty queue ends the task";
}

struct RoundCase {
  const char* name;
  std::function<void(WorkspaceModel&, FakeWebEngineView&)> setUp;
  std::size_t evaluationsAtOnce;
};

class DeliveryRoundTest : public WorkspaceModelTest,
                          public ::testing::WithParamInterface<RoundCase> {};

TEST_P(DeliveryRoundTest, KeepsTheCommandAndTriesAgainAfterHalfASecond) {
  ASSERT_TRUE(enqueue("search"));
  model_->startCommandDeliveryIfNeeded();
  GetParam().setUp(*model_, *view_);
  run();
  EXPECT_EQ(view_->evaluations.size(), GetParam().evaluationsAtOnce);
  EXPECT_EQ(model_->pendingCommands().size(), 1u);

  // The obstacle goes away; the next round delivers.
  model_->setLoading(false);
  model_->setSelectedTab(true);
  model_->setWebView(view_);
  view_->answers.clear();
  view_->defaultAnswer = Json(true);
  advance(499ms);
  EXPECT_EQ(model_->pendingCommands().size(), 1u);
  advance(1ms);
  EXPECT_TRUE(model_->pendingCommands().empty());
  EXPECT_FALSE(model_->isDeliveringCommands());
}

INSTANTIATE_TEST_SUITE_P(
    Rounds, DeliveryRoundTest,
    ::testing::Values(
        RoundCase{"loading", [](WorkspaceModel& m, FakeWebEngineView&) { m.setLoading(true); }, 0},
        RoundCase{"notSelected",
                  [](WorkspaceModel& m, FakeWebEngineView&) { m.setSelectedTab(false); }, 0},
        RoundCase{"noView", [](WorkspaceModel& m, FakeWebEngineView&) { m.setWebView({}); }, 0},
        RoundCase{"pageNotReady",
                  [](WorkspaceModel&, FakeWebEngineView& v) { v.answers = {Json(false)}; }, 1},
        RoundCase{"numberOne", [](WorkspaceModel&, FakeWebEngineView& v) { v.answers = {Json(1)}; },
                  1},
        RoundCase{"stringTrue",
                  [](WorkspaceModel&, FakeWebEngineView& v) { v.answers = {Json("true")}; }, 1},
        RoundCase{"undefinedOrError",
                  [](WorkspaceModel&, FakeWebEngineView& v) { v.answers = {std::nullopt}; }, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WorkspaceModelTest, UnselectedTabDoesNotStartDelivery) {
  ASSERT_TRUE(enqueue("search"));
  model_->setSelectedTab(false);
  model_->startCommandDeliveryIfNeeded();
  EXPECT_FALSE(model_->isDeliveringCommands());
  model_->setSelectedTab(true);
  model_->pendingCommands().clear();
  model_->startCommandDeliveryIfNeeded();
  EXPECT_FALSE(model_->isDeliveringCommands()) << "nothing pending";
}

TEST_F(WorkspaceModelTest, GivesUpAfterOneHundredTwentyRoundsKeepingTheCommand) {
  view_->defaultAnswer = Json(false);
  ASSERT_TRUE(enqueue("search"));
  model_->startCommandDeliveryIfNeeded();
  run();
  for (int i = 0; i < 200 && model_->isDeliveringCommands(); ++i)
    advance(500ms);
  EXPECT_EQ(view_->evaluations.size(), 120u);
  EXPECT_FALSE(model_->isDeliveringCommands());
  EXPECT_EQ(model_->pendingCommands().size(), 1u);
  advance(10s);
  EXPECT_EQ(view_->evaluations.size(), 120u);

  model_->startCommandDeliveryIfNeeded();
  run();
  EXPECT_EQ(view_->evaluations.size(), 121u) << "a later start tries again";
}

TEST_F(WorkspaceModelTest, CancelDuringAWaitStopsTheTaskAndEmptiesTheQueue) {
  view_->defaultAnswer = Json(false);
  ASSERT_TRUE(enqueue("search"));
  model_->startCommandDeliveryIfNeeded();
  run();
  ASSERT_EQ(view_->evaluations.size(), 1u);
  model_->cancelCommandDelivery();
  EXPECT_FALSE(model_->isDeliveringCommands());
  EXPECT_TRUE(model_->pendingCommands().empty());
  EXPECT_EQ(model_->commandGeneration(), 1u);
  advance(5s);
  EXPECT_EQ(view_->evaluations.size(), 1u);
  EXPECT_EQ(time_.activeTimerCount(), 0u);
}

TEST_F(WorkspaceModelTest, AnswerFromAnEarlierGenerationRemovesNothing) {
  ASSERT_TRUE(enqueue("new-note"));
  view_->answers = {Json(true)};
  view_->defaultAnswer = Json(false);
  // While the page evaluates the first command, the session ends and a new command is queued
  // and its delivery started.
  view_->duringEvaluation = [this] {
    view_->duringEvaluation = nullptr;
    model_->cancelCommandDelivery();
    ASSERT_TRUE(enqueue("new-board"));
    model_->startCommandDeliveryIfNeeded();
  };
  model_->startCommandDeliveryIfNeeded();
  run();
  ASSERT_EQ(model_->pendingCommands().size(), 1u);
  EXPECT_EQ(model_->pendingCommands().commands()[0].type, "new-board");
  EXPECT_TRUE(model_->isDeliveringCommands()) << "the new generation's task is not cleared";
}

TEST_F(WorkspaceModelTest, ModelGoneDuringEvaluationEndsTheTaskQuietly) {
  ASSERT_TRUE(enqueue("new-note"));
  view_->defaultAnswer = Json(true);
  view_->duringEvaluation = [this] { model_.reset(); };
  auto weak = std::weak_ptr<WorkspaceModel>(model_);
  model_->startCommandDeliveryIfNeeded();
  run();
  EXPECT_TRUE(weak.expired());
  advance(1s);
  EXPECT_EQ(view_->evaluations.size(), 1u);
}

TEST_F(WorkspaceModelTest, ModelDestroyedWhileWaitingCancelsItsTimer) {
  view_->defaultAnswer = Json(false);
  ASSERT_TRUE(enqueue("search"));
  model_->startCommandDeliveryIfNeeded();
  run();
  model_.reset();
  run();
  advance(1s);
  EXPECT_EQ(view_->evaluations.size(), 1u);
  EXPECT_EQ(time_.activeTimerCount(), 0u);
}

}  // namespace
}  // namespace orlith
