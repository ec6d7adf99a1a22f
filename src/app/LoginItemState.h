// The launch-at-login state the settings show, from the login item's integer status.
#pragma once

namespace orlith {

class LoginItem;

enum class LoginItemState { notRegistered, enabled, requiresApproval, unavailable };

// 0 to 3 give the case at that position; anything else is unavailable.
LoginItemState loginItemStateFromStatus(int status);

// Registers or unregisters as asked when the item is not in that state yet, and returns
// whether it ended in the asked state. A refused call gives false. Blocks: off the main thread.
bool setLoginItemEnabled(LoginItem& item, bool enable);

}  // namespace orlith
