// What the workspace chrome shows and which of its controls act, from a snapshot of the
// window's tabs, the selected tab and the session.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace orlith {

struct WorkspaceChromeInputs {
  std::size_t tabCount = 1;
  std::size_t maximumTabs = 20;
  bool hasSelectedTab = true;
  bool canGoBack = false;
  bool canGoForward = false;
  bool isLoading = false;
  // The selected tab shows the workspace page (the tabs model's test).
  bool selectedShowsWorkspacePage = false;
  // The signed-in account's e-mail, when there is a session.
  std::optional<std::string> email;
};

struct WorkspaceChromeState {
  // Back, forward and reload stand in the bar only for a selected tab.
  bool showsNavigation = true;
  bool backEnabled = false;
  bool forwardEnabled = false;
  // While a page loads the reload button gives way to the spinner and does not act.
  bool reloadEnabled = true;
  bool showsSpinner = false;
  // The new-tab button and the "New Tab" item.
  bool newTabEnabled = true;
  bool reloadItemEnabled = true;
  bool homeItemEnabled = true;
  bool toggleSidebarEnabled = false;
  bool signOutEnabled = true;
  // The e-mail line at the top of the account menu, absent without a non-empty e-mail.
  std::optional<std::string> emailItem;
  // A chip offers its close button only when another tab would remain.
  bool chipsClosable = false;

  static WorkspaceChromeState from(const WorkspaceChromeInputs& inputs);
  friend bool operator==(const WorkspaceChromeState&, const WorkspaceChromeState&) = default;
};

// One chip of the strip.
struct WorkspaceTabStripItem {
  std::string id;
  std::string title;
  friend bool operator==(const WorkspaceTabStripItem&, const WorkspaceTabStripItem&) = default;
};

// Everything the chrome shows at one moment.
struct WorkspaceChromeSnapshot {
  std::vector<WorkspaceTabStripItem> tabs;
  std::string selectedID;
  WorkspaceChromeState state;
};

}  // namespace orlith
