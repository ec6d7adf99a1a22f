// The keys that show and hide the hidden menu bar.
#include "app/MenuBarKeys.h"

#include <gtest/gtest.h>

#include <vector>

namespace orlith {
namespace {

using Key = MenuBarKeys::Key;
using Effect = MenuBarKeys::Effect;

// One step: a press (with whether the bar shows), a release, or an interruption.
struct Step {
  enum class Kind { press, release, interrupt } kind;
  Key key = Key::other;
  bool shown = false;
  Effect expected = Effect::none;
};

Step press(Key key, Effect expected = Effect::none, bool shown = false) {
  return {Step::Kind::press, key, shown, expected};
}
Step release(Key key, Effect expected = Effect::none) {
  return {Step::Kind::release, key, false, expected};
}
Step interrupt() {
  return {Step::Kind::interrupt};
}

struct Case {
  const char* name;
  std::vector<Step> steps;
};

class MenuBarKeysTest : public ::testing::TestWithParam<Case> {};

TEST_P(MenuBarKeysTest, TogglesOnlyOnALoneAltTapAndF10) {
  MenuBarKeys keys;
  int index = 0;
  for (const Step& step : GetParam().steps) {
    Effect effect = Effect::none;
    switch (step.kind) {
      case Step::Kind::press:
        effect = keys.pressed(step.key, step.shown);
        break;
      case Step::Kind::release:
        effect = keys.released(step.key);
        break;
      case Step::Kind::interrupt:
        keys.interrupted();
        break;
    }
    EXPECT_EQ(effect, step.expected) << "step " << index;
    ++index;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, MenuBarKeysTest,
    ::testing::Values(
        Case{"LoneAlt", {press(Key::alt), release(Key::alt, Effect::toggle)}},
        Case{
            "HeldAltRepeats",
            {press(Key::alt), press(Key::alt), press(Key::alt), release(Key::alt, Effect::toggle)}},
        Case{"AltTab",
             {press(Key::alt), press(Key::other), release(Key::other), release(Key::alt)}},
        Case{"AltTabHeldThenRepeat",
             {press(Key::alt), press(Key::other), press(Key::alt), release(Key::alt)}},
        Case{"AltClick", {press(Key::alt), interrupt(), release(Key::alt)}},
        Case{"AltWhileWindowLeft",
             {press(Key::alt), interrupt(), release(Key::alt), press(Key::alt),
              release(Key::alt, Effect::toggle)}},
        Case{"ReleaseWithoutPress", {release(Key::alt)}},
        Case{"F10", {press(Key::f10, Effect::toggle), release(Key::f10)}},
        Case{"F10DuringAlt", {press(Key::alt), press(Key::f10, Effect::toggle), release(Key::alt)}},
        Case{"EscapeHidesOnlyAShownBar",
             {press(Key::escape), press(Key::escape, Effect::hide, true)}}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
}  // namespace orlith
