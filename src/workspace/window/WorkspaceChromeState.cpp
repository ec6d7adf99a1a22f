// The chrome's enable rules.
#include "workspace/window/WorkspaceChromeState.h"

namespace orlith {

WorkspaceChromeState WorkspaceChromeState::from(const WorkspaceChromeInputs& inputs) {
  WorkspaceChromeState state;
  state.showsNavigation = inputs.hasSelectedTab;
  state.backEnabled = inputs.hasSelectedTab && inputs.canGoBack;
  state.forwardEnabled = inputs.hasSelectedTab && inputs.canGoForward;
  const bool loading = inputs.hasSelectedTab && inputs.isLoading;
  state.reloadEnabled = inputs.hasSelectedTab && !loading;
  state.showsSpinner = loading;
  state.newTabEnabled = inputs.tabCount < inputs.maximumTabs;
  state.toggleSidebarEnabled = inputs.hasSelectedTab && inputs.selectedShowsWorkspacePage;
  if (inputs.email && !inputs.email->empty())
    state.emailItem = inputs.email;
  state.chipsClosable = inputs.tabCount >= 2;
  return state;
}

}  // namespace orlith
