// The desktop entry through which the desktop knows the app: its name, icon and window class,
// and the "orlith" scheme it handles, so links from a browser reach the running app. Written for
// the user into the XDG data folder; these are its text and the rule of when to (re)write it.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orlith {

class DesktopEntry {
 public:
  static constexpr std::string_view kSchemeMimeType = "x-scheme-handler/orlith";

  // The entry of `applicationId` starting `program` with the link as its one argument.
  static std::string text(std::string_view applicationId, const std::filesystem::path& program);
  // One Exec argument, quoted and escaped as the desktop entry format asks.
  static std::string quotedExecArgument(std::string_view argument);
  // An Exec value that starts exactly `program`, followed by `fieldCodes` ("%u", or nothing).
  // The desktop looks the first word up before it expands field codes, so a program whose path
  // holds '%' is started through /bin/sh, which takes the path as an argument.
  static std::string execLine(const std::filesystem::path& program,
                              std::string_view fieldCodes = {});
  // The program an Exec value starts, unquoted, through the shell above too; none when it does
  // not parse or its program holds a field code other than %%.
  static std::optional<std::filesystem::path> programOfExecLine(std::string_view exec);
  // The program of an entry's Exec line; none when there is no Exec line.
  static std::optional<std::filesystem::path> execProgram(std::string_view entryText);

  // Whether to write the entry: none yet, or one whose program is gone (the bundle moved), or
  // one of another copy while this one lies in an Applications folder, which always claims it,
  // or this program's own whose Exec line is not the one written now.
  static bool needsWriting(const std::optional<std::string>& existingText,
                           const std::filesystem::path& program, bool programIsInstalled,
                           const std::function<bool(const std::filesystem::path&)>& exists);
};

}  // namespace orlith
