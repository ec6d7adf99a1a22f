// One tab's container: overlay choice, error texts, page zoom and the session callbacks.
#include "workspace/window/WorkspaceContainerPresentation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/FakePreferences.h"
#include "support/FakeWebEngineView.h"
#include "support/FakeWorkspaceSession.h"
#include "support/ManualMainQueue.h"

namespace orlith {
namespace {

TEST(ContainerOverlayTest, FailedWinsOverReady) {
  EXPECT_EQ(containerOverlay(false, false), ContainerOverlay::startupCover);
  EXPECT_EQ(containerOverlay(true, false), ContainerOverlay::none);
  EXPECT_EQ(containerOverlay(false, true), ContainerOverlay::error);
  EXPECT_EQ(containerOverlay(true, true), ContainerOverlay::error);
}

TEST(WorkspaceErrorContentTest, Texts) {
  EXPECT_EQ(WorkspaceErrorContent::make(true, std::nullopt),
            (WorkspaceErrorContent{"network-wireless-offline-symbolic", "You're offline",
                                   "Check your internet connection and try again."}));
  EXPECT_EQ(WorkspaceErrorContent::make(false, std::nullopt),
            (WorkspaceErrorContent{"dialog-warning-symbolic", "Couldn't load Orlith",
                                   "Something interrupted the connection. Try reloading."}));
  EXPECT_EQ(WorkspaceErrorContent::make(false, std::string("The page stalled.")),
            (WorkspaceErrorContent{"dialog-warning-symbolic", "Couldn't load Orlith",
                                   "The page stalled."}));
}

TEST(PageZoomTest, StoredValuesMapIntoTheAllowedRange) {
  struct Case {
    std::optional<double> stored;
    double zoom;
  };
  const Case cases[] = {{std::nullopt, 1.0}, {0.0, 1.0},
                        {-1.0, 1.0},         {std::numeric_limits<double>::quiet_NaN(), 1.0},
                        {0.2, 0.5},          {0.5, 0.5},
                        {1.25, 1.25},        {3.0, 3.0},
                        {7.0, 3.0}};
  for (const Case& c : cases)
    EXPECT_EQ(PageZoom::fromStored(c.stored), c.zoom) << (c.stored ? *c.stored : -99);
}

TEST(PageZoomTest, SetOnlyWhenDifferentAndReadAfresh) {
  FakePreferences preferences;
  testing::FakeWebEngineView view;
  EXPECT_FALSE(PageZoom::apply(view, preferences));  // absent: 1.0, already so
  preferences.setNumber("orlith.pageZoom", 7);
  EXPECT_TRUE(PageZoom::apply(view, preferences));
  EXPECT_EQ(view.zoom, 3.0);
  EXPECT_FALSE(PageZoom::apply(view, preferences));
  preferences.setString("orlith.pageZoom", "2");  // another type reads as absent
  EXPECT_TRUE(PageZoom::apply(view, preferences));
  EXPECT_EQ(view.zoomSets, (std::vector<double>{3.0, 1.0}));
}

TEST(SurfaceSessionTest, CallbacksStayBoundToTheirRevision) {
  testing::ManualMainQueue queue;
  MainQueue::Installation installation(queue);
  auto session = std::make_shared<testing::FakeWorkspaceSession>();
  session->signIn("ada@example.com");
  SurfaceSession first = makeSurfaceSession(session);
  EXPECT_EQ(first.email, std::optional<std::string>("ada@example.com"));
  EXPECT_TRUE(first.isSessionCurrent());

  session->setState(SessionState::loading());
  EXPECT_FALSE(first.isSessionCurrent());
  session->setState(SessionState::authenticated("ada@example.com"));
  EXPECT_TRUE(first.isSessionCurrent());

  // The session end asks for an unforced recovery of the tab's revision, from the queue.
  first.onSessionEnded();
  EXPECT_TRUE(session->recoveries.empty());
  queue.runUntilIdle();
  EXPECT_EQ(session->recoveries,
            (std::vector<testing::FakeWorkspaceSession::Recovery>{{first.revision, false}}));

  session->signIn("ada@example.com");  // a raised revision
  EXPECT_FALSE(first.isSessionCurrent());
  SurfaceSession second = makeSurfaceSession(session);
  EXPECT_TRUE(second.isSessionCurrent());
  session->clearSession();  // signed out
  EXPECT_FALSE(second.isSessionCurrent());
  EXPECT_FALSE(makeSurfaceSession(session).email.has_value());
}

}  // namespace
}  // namespace orlith
