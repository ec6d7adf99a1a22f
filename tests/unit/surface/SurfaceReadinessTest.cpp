// The readiness handshake of one document: origins, the renderable-time rule and reports.
#include "workspace/surface/SurfaceReadiness.h"

#include <gtest/gtest.h>

#include "support/SequentialUuidSource.h"
#include "workspace/surface/WebOrigin.h"

namespace orlith {
namespace {

struct OriginCase {
  const char* url;
  std::optional<std::string> native;
  std::optional<std::string> web;
};

class OriginFormsTest : public ::testing::TestWithParam<OriginCase> {};

TEST_P(OriginFormsTest, NativeFormAlwaysWritesPortWebFormDropsDefault) {
  auto url = Url::parse(GetParam().url);
  ASSERT_TRUE(url) << GetParam().url;
  EXPECT_EQ(SurfaceReadiness::readinessOrigin(*url), GetParam().native) << GetParam().url;
  EXPECT_EQ(webSerialisedOrigin(*url), GetParam().web) << GetParam().url;
}

INSTANTIATE_TEST_SUITE_P(
    Origins, OriginFormsTest,
    ::testing::Values(OriginCase{"https://Orlith.EXAMPLE/app", "https://orlith.example:443",
                                 "https://orlith.example"},
                      OriginCase{"https://orlith.example:443/app", "https://orlith.example:443",
                                 "https://orlith.example"},
                      OriginCase{"HTTP://localhost:8080/x", "http://localhost:8080",
                                 "http://localhost:8080"},
                      OriginCase{"http://127.0.0.1/", "http://127.0.0.1:80", "http://127.0.0.1"},
                      OriginCase{"https://orlith.example:80/", "https://orlith.example:80",
                                 "https://orlith.example:80"},
                      OriginCase{"https://[::1]:8443/", "https://[::1]:8443", "https://[::1]:8443"},
                      OriginCase{"https://user@orlith.example/app", std::nullopt, std::nullopt},
                      OriginCase{"https://:secret@orlith.example/app", std::nullopt, std::nullopt},
                      OriginCase{"wss://orlith.example/", std::nullopt, std::nullopt},
                      OriginCase{"file:///app", std::nullopt, std::nullopt},
                      OriginCase{"about:blank", std::nullopt, std::nullopt}));

TEST(SurfaceReadinessTest, TicketIsThirtyTwoLowerCaseHexCharacters) {
  SequentialUuidSource uuids;
  std::string ticket = SurfaceReadiness::makeTicket(uuids);
  EXPECT_EQ(ticket, "00000000000040008000000000000001");
  EXPECT_EQ(ticket.size(), 32u);
  EXPECT_EQ(ticket.find_first_not_of("0123456789abcdef"), std::string::npos);
}

TEST(SurfaceReadinessTest, FreshValueCountsNothing) {
  SurfaceReadiness readiness;
  EXPECT_FALSE(readiness.wasRenderable());
  EXPECT_FALSE(readiness.recordSurfaceCheck(true, 100.0));
  EXPECT_FALSE(readiness.recordSurfaceCheck(true, 200.0));
  EXPECT_EQ(readiness.activeSurfaceSeconds(), 0.0);
  EXPECT_FALSE(readiness.markReady("", ""));
}

struct Check {
  double at;
  bool renderable;
  bool givesUp;
};

struct ChecksCase {
  const char* name;
  std::vector<Check> checks;
  double activeSeconds;
};

class SurfaceCheckTest : public ::testing::TestWithParam<ChecksCase> {};

TEST_P(SurfaceCheckTest, CountsOnlyTimeBetweenConsecutiveRenderableChecks) {
  SurfaceReadiness readiness;
  readiness.arm(std::string(32, 'a'), "https://orlith.example:443", 0.0);
  for (const Check& check : GetParam().checks) {
    EXPECT_EQ(readiness.recordSurfaceCheck(check.renderable, check.at), check.givesUp)
        << "check at " << check.at;
  }
  EXPECT_DOUBLE_EQ(readiness.activeSurfaceSeconds(), GetParam().activeSeconds);
}

std::vector<Check> steadyChecks(double until) {
  std::vector<Check> checks;
  for (double at = 0.0; at <= until; at += 0.25)
    checks.push_back({at, true, at >= 8.0});
  return checks;
}

INSTANTIATE_TEST_SUITE_P(
    Checks, SurfaceCheckTest,
    ::testing::Values(ChecksCase{"firstCheckOnlyStartsTheCount", {{5.0, true, false}}, 0.0},
                      ChecksCase{"steadyQuarterSecondsReachEightExactly", steadyChecks(8.25), 8.25},
                      ChecksCase{"gapsPauseAndSumExactly",
                                 {{1.0, true, false},
                                  {4.0, true, false},
                                  {5.0, false, false},
                                  {20.0, false, false},
                                  {21.0, true, false},
                                  {25.0, true, false},
                                  {26.0, true, true}},
                                 8.0},
                      ChecksCase{"hiddenTabNeverGivesUp",
                                 {{1.0, false, false}, {30.0, false, false}, {60.0, false, false}},
                                 0.0},
                      ChecksCase{"clockGoingBackAddsNothing",
                                 {{10.0, true, false}, {9.0, true, false}, {13.0, true, false}},
                                 4.0}),
    [](const auto& info) { return std::string(info.param.name); });

const std::string kTicket = "0123456789abcdef0123456789abcdef";

SurfaceReadiness armedAt(const char* committedOrigin) {
  SurfaceReadiness readiness;
  readiness.arm(kTicket, committedOrigin, 0.0);
  return readiness;
}

struct ReportCase {
  const char* name;
  std::string ticket;
  std::string reportedOrigin;
  bool accepted;
};

class ReportTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ReportTest, AcceptsOnlyTheTicketFromTheCommittedOriginInAnyDefaultPortForm) {
  SurfaceReadiness readiness = armedAt("https://orlith.example:443");
  EXPECT_EQ(readiness.markReportedReady(GetParam().ticket, GetParam().reportedOrigin),
            GetParam().accepted);
  EXPECT_EQ(readiness.isReady(), GetParam().accepted);
  EXPECT_EQ(readiness.ticket().has_value(), !GetParam().accepted) << "refusal keeps the ticket";
  EXPECT_EQ(readiness.lastSurfaceCheck().has_value(), !GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, ReportTest,
    ::testing::Values(
        ReportCase{"pageOriginWithoutDefaultPort", kTicket, "https://orlith.example", true},
        ReportCase{"explicitDefaultPort", kTicket, "https://orlith.example:443", true},
        ReportCase{"upperCaseHost", kTicket, "https://ORLITH.example", true},
        ReportCase{"otherPort", kTicket, "https://orlith.example:8443", false},
        ReportCase{"otherScheme", kTicket, "http://orlith.example", false},
        ReportCase{"otherHost", kTicket, "https://www.orlith.example", false},
        ReportCase{"notAnOrigin", kTicket, "null", false},
        ReportCase{"otherTicket", std::string(32, 'b'), "https://orlith.example", false},
        ReportCase{"ticketInUpperCase", "0123456789ABCDEF0123456789ABCDEF",
                   "https://orlith.example", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SurfaceReadinessTest, SecondReportAndLaterChecksAreRefusedOnceReady) {
  SurfaceReadiness readiness = armedAt("http://localhost:3000");
  ASSERT_TRUE(readiness.markReady(kTicket, "http://localhost:3000"));
  EXPECT_FALSE(readiness.markReady(kTicket, "http://localhost:3000"));
  EXPECT_FALSE(readiness.recordSurfaceCheck(true, 1.0));
  EXPECT_FALSE(readiness.recordSurfaceCheck(true, 100.0));
}

TEST(SurfaceReadinessTest, WithoutCommittedOriginNoReportIsAccepted) {
  SurfaceReadiness readiness;
  readiness.arm(kTicket, std::nullopt, 0.0);
  EXPECT_FALSE(readiness.markReportedReady(kTicket, "https://orlith.example"));
  EXPECT_TRUE(readiness.ticket().has_value());
}

}  // namespace
}  // namespace orlith
