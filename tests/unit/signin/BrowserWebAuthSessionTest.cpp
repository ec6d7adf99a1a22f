// Provider sign-in in the browser: the page goes to the opener, the waiting sheet shows the
// host, and each callback link is handed on, on a later turn, until the session ends.
#include <gmock/gmock.h>

#include "signin/BrowserWebAuthSession.h"
#include "support/ManualMainQueue.h"
#include "support/RecordingOpener.h"

namespace orlith {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using testing::RecordingOpener;

struct SheetLog {
  std::vector<std::string> events;
  std::function<void()> cancel;
};

class FakeSheet final : public ProviderWaitingSheet {
 public:
  explicit FakeSheet(SheetLog& log) : log_(log) {}
  void show(const std::string& host, std::optional<PresentationAnchor>,
            std::function<void()> onCancel) override {
    log_.events.push_back("show " + host);
    log_.cancel = std::move(onCancel);
  }
  void close() override { log_.events.push_back("close"); }

 private:
  SheetLog& log_;
};

class BrowserSession : public ::testing::Test {
 protected:
  std::unique_ptr<WebAuthSession> make() {
    return factory_.makeSession(
        *Url::parse("https://accounts.provider.example/start?x=1"), "orlith", std::nullopt,
        [this](std::optional<Url> url, std::optional<WebAuthError> error) {
          outcomes_.push_back(url                                            ? url->absoluteString()
                              : error->kind == WebAuthError::Kind::cancelled ? "cancelled"
                                                                             : "failed");
        });
  }
  Url link(const char* text) { return *Url::parse(text); }

  testing::ManualMainQueue queue_;
  MainQueue::Installation installation_{queue_};
  RecordingOpener opener_;
  AuthCallbackRoute route_;
  SheetLog sheet_;
  BrowserWebAuthSessionFactory factory_{opener_, route_,
                                        [this] { return std::make_unique<FakeSheet>(sheet_); }};
  std::vector<std::string> outcomes_;
};

TEST_F(BrowserSession, HandsOnEveryCallbackOnALaterTurnUntilItEnds) {
  auto session = make();
  ASSERT_TRUE(session->start());
  EXPECT_THAT(opener_.opened, ElementsAre("https://accounts.provider.example/start?x=1"));
  EXPECT_THAT(sheet_.events, ElementsAre("show accounts.provider.example"));
  EXPECT_TRUE(route_.hasWaitingReceiver());

  EXPECT_TRUE(route_.deliver(link("orlith://auth/callback?token=A")));
  EXPECT_THAT(outcomes_, IsEmpty());
  // Any program can send a link: the first may be foreign, and the person's own still comes.
  EXPECT_TRUE(route_.deliver(link("orlith://auth/callback?token=B")));
  queue_.runUntilIdle();
  EXPECT_THAT(outcomes_,
              ElementsAre("orlith://auth/callback?token=A", "orlith://auth/callback?token=B"));
  EXPECT_THAT(sheet_.events, ElementsAre("show accounts.provider.example", "close"));

  // Waiting again shows the sheet, without opening the page again.
  session->resumeWaiting();
  EXPECT_THAT(sheet_.events, ElementsAre("show accounts.provider.example", "close",
                                         "show accounts.provider.example"));
  EXPECT_EQ(opener_.opened.size(), 1u);
  session->cancel();
  EXPECT_FALSE(route_.deliver(link("orlith://auth/callback?token=C")));
  queue_.runUntilIdle();
  EXPECT_EQ(outcomes_.size(), 2u);
}

TEST_F(BrowserSession, ALinkWithNobodyWaitingIsDropped) {
  EXPECT_FALSE(route_.deliver(link("orlith://auth/callback?token=A")));
  auto session = make();
  session->start();
  session->cancel();
  EXPECT_FALSE(route_.deliver(link("orlith://auth/callback?token=A")));
  queue_.runUntilIdle();
  EXPECT_THAT(outcomes_, IsEmpty());
}

TEST_F(BrowserSession, ABrowserThatCannotBeStartedFailsTheStart) {
  opener_.result = false;
  auto session = make();
  EXPECT_FALSE(session->start());
  EXPECT_FALSE(route_.hasWaitingReceiver());
  EXPECT_THAT(sheet_.events, ElementsAre("show accounts.provider.example", "close"));
  queue_.runUntilIdle();
  EXPECT_THAT(outcomes_, IsEmpty());
}

TEST_F(BrowserSession, ClosingTheSheetCancels) {
  auto session = make();
  session->start();
  sheet_.cancel();
  EXPECT_FALSE(route_.deliver(link("orlith://auth/callback?token=A")));
  queue_.runUntilIdle();
  EXPECT_THAT(outcomes_, ElementsAre("cancelled"));
}

TEST_F(BrowserSession, CancelDropsACompletionAlreadyOnItsWay) {
  auto session = make();
  session->start();
  route_.deliver(link("orlith://auth/callback?token=A"));
  session->cancel();
  session.reset();
  queue_.runUntilIdle();
  EXPECT_THAT(outcomes_, IsEmpty());
  EXPECT_FALSE(session);
}

TEST_F(BrowserSession, TheNewestWaitingSessionGetsTheLink) {
  auto first = make();
  first->start();
  auto second = make();
  second->start();
  route_.deliver(link("orlith://auth/callback?token=B"));
  queue_.runUntilIdle();
  ASSERT_THAT(outcomes_, ElementsAre("orlith://auth/callback?token=B"));
  first.reset();
  second.reset();
  EXPECT_FALSE(route_.hasWaitingReceiver());
}

TEST(AuthCallbackRoute, TakesOnlyTheAppsAuthLinks) {
  const std::pair<const char*, bool> cases[] = {
      {"orlith://auth/callback?token=A", true},
      {"ORLITH://AUTH/callback", true},
      {"orlith://billing/return", false},
      {"https://auth/callback", false},
      {"orlith:auth", false},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(AuthCallbackRoute::isAuthCallbackLink(*Url::parse(text)), expected) << text;
}

}  // namespace
}  // namespace orlith
