// Launch at login as the desktop's autostart entry <autostart folder>/<app id>.desktop. The
// user's entry overrides one of the same name in a system autostart folder; the entry that
// counts is ours and enabled only when the desktop loads it, it is not hidden, not disabled,
// and it starts this very executable.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/LoginItem.h"

namespace orlith {

class XdgAutostartLoginItem final : public LoginItem {
 public:
  // `autostartFolder` none, or not absolute: no usable config folder (status 3).
  // `systemAutostartFolders` in the order of precedence.
  XdgAutostartLoginItem(std::optional<std::filesystem::path> autostartFolder,
                        std::string applicationId, std::filesystem::path executable,
                        std::vector<std::filesystem::path> systemAutostartFolders = {});

  // The autostart folders of the user's and the system's config folders, this application's id
  // and the running program.
  static XdgAutostartLoginItem forCurrentUser(std::string applicationId);

  int status() const override;
  // Writes the entry atomically, creating the folder. Throws LoginItemError.
  void registerItem() override;
  // Deletes the user's entry; a missing one counts as done. While a system folder holds an entry
  // of the name, writes a hidden one instead, which switches that off. Throws LoginItemError.
  void unregisterItem() override;

  std::optional<std::filesystem::path> entryPath() const;

 private:
  void save(const std::string& text) const;

  std::optional<std::filesystem::path> folder_;
  std::vector<std::filesystem::path> systemFolders_;
  std::string applicationId_;
  std::filesystem::path executable_;
};

}  // namespace orlith
