// X errors on the toolkit's own connection, caught while one lives: another program's window may
// vanish between two requests about it, and the toolkit's handler would end the test for it.
// Traps nest, and the toolkit's handler stays in place.
#pragma once

namespace orlith::testing {

class XErrorTrap {
 public:
  XErrorTrap();
  ~XErrorTrap();
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;

  // Ends the trap once the server has answered every request made in it: the code of the first
  // error (0 when there was none).
  int end();

 private:
  bool ended_ = false;
};

}  // namespace orlith::testing
