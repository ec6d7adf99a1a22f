#include "app/DesktopEntry.h"

#include <glib.h>

#include <memory>
#include <sstream>
#include <vector>

namespace orlith {

namespace {

// The desktop entry format's own escapes of a string value.
std::string escapeValue(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

std::string unescapeValue(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char next = text[++i];
      out += next == 'n' ? '\n' : next == 's' ? ' ' : next == 't' ? '\t' : next;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Runs its first argument with the rest: `exec "$0" "$@"`.
constexpr std::string_view kShell = "/bin/sh";
constexpr std::string_view kShellScript = "exec \"$0\" \"$@\"";

struct StrvFree {
  void operator()(gchar** strings) const { g_strfreev(strings); }
};

// Field codes are expanded after unquoting: %% stands for %, and another code is not a path.
std::optional<std::string> withoutFieldCodes(std::string_view word) {
  std::string out;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (word[i] != '%') {
      out += word[i];
    } else if (i + 1 < word.size() && word[i + 1] == '%') {
      out += '%';
      ++i;
    } else {
      return std::nullopt;
    }
  }
  return out;
}

}  // namespace

std::string DesktopEntry::quotedExecArgument(std::string_view argument) {
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\')
      quoted += '\\';
    // A field code would be expanded: a literal percent sign is doubled.
    if (c == '%')
      quoted += '%';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string DesktopEntry::text(std::string_view applicationId,
                               const std::filesystem::path& program) {
  std::ostringstream out;
  out << "[Desktop Entry]\n"
      << "Type=Application\n"
      << "Name=Orlith\n"
      << "Comment=The Orlith workspace\n"
      << "Exec=" << escapeValue(execLine(program, "%u")) << "\n"
      << "Icon=" << applicationId << "\n"
      << "StartupWMClass=" << applicationId << "\n"
      << "StartupNotify=true\n"
      << "Terminal=false\n"
      << "Categories=Office;Network;\n"
      << "MimeType=" << kSchemeMimeType << ";\n";
  return out.str();
}

std::string DesktopEntry::execLine(const std::filesystem::path& program,
                                   std::string_view fieldCodes) {
  std::string line = quotedExecArgument(program.string());
  if (program.string().find('%') != std::string::npos)
    line = std::string(kShell) + " -c " + quotedExecArgument(kShellScript) + " " + line;
  if (!fieldCodes.empty())
    line += " " + std::string(fieldCodes);
  return line;
}

std::optional<std::filesystem::path> DesktopEntry::programOfExecLine(std::string_view exec) {
  gint argc = 0;
  gchar** raw = nullptr;
  if (!g_shell_parse_argv(std::string(exec).c_str(), &argc, &raw, nullptr))
    return std::nullopt;
  std::unique_ptr<gchar*, StrvFree> argv(raw);
  std::vector<std::string_view> words(argv.get(), argv.get() + argc);
  std::size_t first = 0;
  if (words.size() >= 4 && words[0] == kShell && words[1] == "-c" && words[2] == kShellScript)
    first = 3;
  if (words.size() <= first)
    return std::nullopt;
  auto program = withoutFieldCodes(words[first]);
  if (!program || program->empty())
    return std::nullopt;
  return std::filesystem::path(*program);
}

namespace {

std::optional<std::string> execValue(std::string_view entryText) {
  std::istringstream lines{std::string(entryText)};
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("Exec=", 0) == 0)
      return unescapeValue(std::string_view(line).substr(5));
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::filesystem::path> DesktopEntry::execProgram(std::string_view entryText) {
  std::optional<std::string> exec = execValue(entryText);
  return exec ? programOfExecLine(*exec) : std::nullopt;
}

bool DesktopEntry::needsWriting(const std::optional<std::string>& existingText,
                                const std::filesystem::path& program, bool programIsInstalled,
                                const std::function<bool(const std::filesystem::path&)>& exists) {
  if (!existingText)
    return true;
  std::optional<std::filesystem::path> current = execProgram(*existingText);
  if (!current || !exists(*current))
    return true;
  // This program's own entry as an earlier version wrote it (one the desktop may not load).
  if (*current == program)
    return execValue(*existingText) != execLine(program, "%u");
  return programIsInstalled;
}

}  // namespace orlith
