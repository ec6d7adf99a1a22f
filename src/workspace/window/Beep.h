// The alert sound a refused action makes (one more tab than the window holds).
#pragma once

namespace orlith {

class Beep {
 public:
  virtual ~Beep() = default;
  virtual void beep() = 0;
};

}  // namespace orlith
