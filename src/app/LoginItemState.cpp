// Login item status mapping and the change that checks its own outcome.
#include "app/LoginItemState.h"

#include <exception>

#include "app/LoginItem.h"

namespace orlith {

LoginItemState loginItemStateFromStatus(int status) {
  switch (status) {
    case 0:
      return LoginItemState::notRegistered;
    case 1:
      return LoginItemState::enabled;
    case 2:
      return LoginItemState::requiresApproval;
    default:
      return LoginItemState::unavailable;
  }
}

namespace {

bool isRegistered(int status) {
  return status == 1 || status == 2;
}

}  // namespace

bool setLoginItemEnabled(LoginItem& item, bool enable) {
  const bool registered = isRegistered(item.status());
  try {
    if (enable && !registered)
      item.registerItem();
    else if (!enable && registered)
      item.unregisterItem();
  } catch (const std::exception&) {
    // The caller shows the one message for every refusal and the status as it now is.
    return false;
  }
  return isRegistered(item.status()) == enable;
}

}  // namespace orlith
