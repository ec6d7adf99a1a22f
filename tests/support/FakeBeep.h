// Counts the beeps instead of ringing.
#pragma once

#include "workspace/window/Beep.h"

namespace orlith::testing {

class FakeBeep final : public Beep {
 public:
  void beep() override { ++beeps; }
  int beeps = 0;
};

}  // namespace orlith::testing
