// Messages a page posts to the bridge, as one tab's controller receives them: the first line is
// the sending frame's address, the rest the message. Channel admission, the channels' payloads and
// desktop-command delivery all run on the tab's own fakes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/FakePreferences.h"
#include "support/FakeWebEngineView.h"
#include "support/ManualMainQueue.h"
#include "support/ManualTime.h"
#include "support/SequentialUuidSource.h"
#include "unit/surface/SurfaceEnvironments.h"
#include "workspace/surface/WorkspaceSurfaceCoordinator.h"

namespace {

using namespace orlith;

class LightDesktop final : public AppearanceEnvironment {
 public:
  bool systemIsDark() const override { return false; }
  void setAppAppearance(AppAppearance appearance) override { current = appearance; }
  AppAppearance appAppearance() const override { return current; }
  AppAppearance current = AppAppearance::system;
};

class NullContent final : public UserContentController {
 public:
  void removeAllScripts() override {}
  void addScript(const UserScript&) override {}
};

struct Tab {
  Tab() {
    model = WorkspaceModel::create(testing::productionEnvironment(), std::nullopt, time);
    SurfaceServices services{time,
                             time,
                             uuids,
                             preferences,
                             appearance,
                             [](std::string_view, const DiagnosticsDetail&) {},
                             [](const std::string&) {},
                             [] {},
                             {}};
    SurfaceSession session;
    session.email = "ada@orlith.example";
    session.revision = 1;
    session.isSessionCurrent = [] { return true; };
    session.onSessionEnded = [] {};
    coordinator = WorkspaceSurfaceCoordinator::create(
        model, WebSurfaceScripts(testing::productionEnvironment(), "1.2.3", testing::kTestHosts),
        std::move(services), std::move(session));
    coordinator->attach(view, content);
    queue.runUntilIdle();
  }
  ~Tab() {
    coordinator.reset();
    model.reset();
    queue.runUntilIdle();
  }

  testing::ManualMainQueue queue;
  MainQueue::Installation installation{queue};
  testing::ManualTime time;
  SequentialUuidSource uuids;
  FakePreferences preferences;
  LightDesktop desktop;
  AppearanceSettings appearance{preferences, desktop};
  NullContent content;
  std::shared_ptr<testing::FakeWebEngineView> view = std::make_shared<testing::FakeWebEngineView>();
  std::shared_ptr<WorkspaceModel> model;
  std::shared_ptr<WorkspaceSurfaceCoordinator> coordinator;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\n');
  const std::string frame(split == std::string_view::npos ? "https://orlith.example/app"
                                                          : input.substr(0, split));
  const std::string_view message =
      split == std::string_view::npos ? input : input.substr(split + 1);
  Tab tab;
  tab.coordinator->channelMessageReceived(frame, message);
  tab.queue.runUntilIdle();
  tab.coordinator->readinessMessageReceived(message);
  tab.queue.runUntilIdle();
  return 0;
}
