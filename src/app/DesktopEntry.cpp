#include "app/DesktopEntry.h"

#include <sstream>

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
      << "Exec=" << escapeValue(quotedExecArgument(program.string())) << " %u\n"
      << "Icon=" << applicationId << "\n"
      << "StartupWMClass=" << applicationId << "\n"
      << "StartupNotify=true\n"
      << "Terminal=false\n"
      << "Categories=Office;Network;\n"
      << "MimeType=" << kSchemeMimeType << ";\n";
  return out.str();
}

std::optional<std::filesystem::path> DesktopEntry::execProgram(std::string_view entryText) {
  std::istringstream lines{std::string(entryText)};
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("Exec=", 0) != 0)
      continue;
    const std::string value = unescapeValue(std::string_view(line).substr(5));
    std::string program;
    if (!value.empty() && value.front() == '"') {
      for (std::size_t i = 1; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
          program += value[++i];
        } else if (value[i] == '"') {
          break;
        } else if (value[i] == '%' && i + 1 < value.size() && value[i + 1] == '%') {
          program += '%';
          ++i;
        } else {
          program += value[i];
        }
      }
    } else {
      program = value.substr(0, value.find(' '));
    }
    if (program.empty())
      return std::nullopt;
    return std::filesystem::path(program);
  }
  return std::nullopt;
}

bool DesktopEntry::needsWriting(const std::optional<std::string>& existingText,
                                const std::filesystem::path& program, bool programIsInstalled,
                                const std::function<bool(const std::filesystem::path&)>& exists) {
  if (!existingText)
    return true;
  std::optional<std::filesystem::path> current = execProgram(*existingText);
  if (!current || !exists(*current))
    return true;
  return programIsInstalled && *current != program;
}

}  // namespace orlith
