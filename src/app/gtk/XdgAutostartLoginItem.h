// Launch at login as the desktop's autostart entry <autostart folder>/<app id>.desktop. The
// entry counts as ours and enabled only when it is present, not hidden, not disabled, and
// starts this very executable.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "app/LoginItem.h"

namespace orlith {

class XdgAutostartLoginItem final : public LoginItem {
 public:
  // `autostartFolder` none, or not absolute: no usable config folder (status 3).
  XdgAutostartLoginItem(std::optional<std::filesystem::path> autostartFolder,
                        std::string applicationId, std::filesystem::path executable);

  // The user's config folder's autostart folder, this application's id and the running program.
  static XdgAutostartLoginItem forCurrentUser(std::string applicationId);

  int status() const override;
  // Writes the entry atomically, creating the folder. Throws LoginItemError.
  void registerItem() override;
  // Deletes the entry; a missing one counts as done. Throws LoginItemError.
  void unregisterItem() override;

  std::optional<std::filesystem::path> entryPath() const;

  // An Exec value starting exactly `executable`, quoted by the desktop entry rules.
  static std::string execLine(const std::filesystem::path& executable);
  // The program an Exec value starts, unquoted; none when it does not parse.
  static std::optional<std::string> programOfExecLine(const std::string& exec);

 private:
  std::optional<std::filesystem::path> folder_;
  std::string applicationId_;
  std::filesystem::path executable_;
};

}  // namespace orlith
