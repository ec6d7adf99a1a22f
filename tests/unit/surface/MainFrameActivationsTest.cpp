// The main frame's reported link activations, matched to the engine's later question.
#include "workspace/surface/MainFrameActivations.h"

#include <gtest/gtest.h>

namespace orlith {
namespace {

TEST(MainFrameActivationsTest, EachReportAnswersOneQuestionForItsAddressWhileFresh) {
  MainFrameActivations activations;
  activations.record({"https://a.example/1", "", false, true}, 10.0);
  activations.record({"https://a.example/1", "_blank", false, true}, 10.5);
  activations.record({"data:text/plain,x", "", true, false}, 11.0);
  EXPECT_FALSE(activations.take("https://a.example/2", 11.0));
  EXPECT_EQ(activations.take("https://a.example/1", 11.0)->target, "") << "the oldest first";
  EXPECT_EQ(activations.take("https://a.example/1", 11.0)->target, "_blank");
  EXPECT_FALSE(activations.take("https://a.example/1", 11.0)) << "each report once";
  EXPECT_FALSE(activations.take("data:text/plain,x", 16.5)) << "stale after five seconds";
  activations.record({"https://a.example/3", "", false, true}, 20.0);
  EXPECT_FALSE(activations.take("https://a.example/3", 19.0)) << "a clock that went back";

  for (int i = 0; i <= static_cast<int>(MainFrameActivations::kCapacity); ++i)
    activations.record({"https://a.example/" + std::to_string(i), "", false, true}, 30.0);
  EXPECT_FALSE(activations.take("https://a.example/0", 30.0)) << "the oldest gives way";
  EXPECT_TRUE(activations.take("https://a.example/16", 30.0));
}

TEST(MainFrameActivationsTest, OwnFrameTargets) {
  for (const char* target : {"", "_self", "_top", "_PARENT"})
    EXPECT_TRUE(MainFrameActivations::targetsOwnFrame(target)) << target;
  for (const char* target : {"_blank", "frame", "_new"})
    EXPECT_FALSE(MainFrameActivations::targetsOwnFrame(target)) << target;
}

}  // namespace
}  // namespace orlith
