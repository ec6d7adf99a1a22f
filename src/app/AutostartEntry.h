// What one autostart entry says about starting the app at login. Of the entries of one name,
// the one in the user's autostart folder counts, else the first in the system's folders.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace orlith {

struct AutostartEntry {
  enum class Desktop { accepts, refuses };

  // Whether the desktop loads the entry at all (its program found, say).
  Desktop desktop = Desktop::refuses;
  bool hidden = false;
  // X-GNOME-Autostart-enabled, true when absent.
  bool autostartEnabled = true;
  std::optional<std::string> exec;

  // The login item status: 1 when the entry that counts is loaded by the desktop, on, and starts
  // exactly `executable`; 0 otherwise, also when there is none.
  static int status(const std::optional<AutostartEntry>& entryThatCounts,
                    const std::filesystem::path& executable);
};

}  // namespace orlith
