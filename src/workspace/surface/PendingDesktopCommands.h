// A tab's queue of validated desktop commands waiting to be delivered into its page, and the
// choice of the tab that takes a new command.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Json.h"

namespace orlith {

class PendingDesktopCommands {
 public:
  static constexpr std::array<std::string_view, 6> kCommandTypes = {
      "navigate", "search", "billing-return", "new-note", "new-board", "toggle-sidebar"};
  static constexpr std::size_t kCapacity = 32;
  static constexpr std::size_t kMaxHrefBytes = 4096;

  struct Command {
    std::string id;    // a fresh UUID per queued command
    std::string type;  // one of kCommandTypes
    std::string json;  // the payload as a JSON object, non-ASCII escaped: the page's event detail
    friend bool operator==(const Command&, const Command&) = default;
  };

  // Where a command goes among a window's tabs.
  struct CommandTarget {
    enum class Kind { tab, newTab, tabLimit };
    Kind kind;
    std::size_t index = 0;  // meaningful for Kind::tab only

    static CommandTarget tab(std::size_t index) { return {Kind::tab, index}; }
    static CommandTarget newTab() { return {Kind::newTab}; }
    static CommandTarget tabLimit() { return {Kind::tabLimit}; }
    friend bool operator==(const CommandTarget&, const CommandTarget&) = default;
  };

  // Validates `payload` (a JSON object with a known "type"; a "navigate" carries a safe "href"
  // under "/app"), serialises it and appends it. True when queued, or when a "search" or
  // "billing-return" already queued absorbs it; false when invalid or there is no room. One
  // place of kCapacity stays free for a "billing-return".
  bool enqueue(const Json& payload);
  // Drops the first command when its id is `id`; nothing otherwise.
  void removeFirst(std::string_view id);
  void clear() { commands_.clear(); }

  const std::vector<Command>& commands() const { return commands_; }
  bool empty() const { return commands_.empty(); }
  std::size_t size() const { return commands_.size(); }

  // The href rule of "navigate": a relative reference with no scheme and no host, at most
  // kMaxHrefBytes bytes, whose path passes isSafeAppPath().
  static bool isAcceptableHref(std::string_view href);

  // `eligible` has one entry per tab (the tab shows the workspace page). The selected tab when
  // it exists and is eligible, else the first eligible tab, else a new tab while there are
  // fewer than `maximumTabs`, else the tab limit.
  static CommandTarget commandTarget(const std::vector<bool>& eligible,
                                     std::optional<std::size_t> selectedIndex,
                                     std::size_t maximumTabs);

 private:
  bool isQueued(std::string_view type) const;

  std::vector<Command> commands_;
};

}  // namespace orlith
