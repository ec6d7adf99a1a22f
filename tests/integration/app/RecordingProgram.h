// A program for the desktop to start: a shell script that writes the arguments it was started
// with, its own path first, one per line into a log, so a test sees what the desktop ran.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

namespace orlith::testing {

inline std::filesystem::path makeRecordingProgram(const std::filesystem::path& program,
                                                  const std::filesystem::path& log) {
  std::filesystem::create_directories(program.parent_path());
  std::string quotedLog = "'";
  for (char c : log.string())
    quotedLog += c == '\'' ? std::string("'\\''") : std::string(1, c);
  quotedLog += "'";
  std::ofstream(program) << "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > " << quotedLog << ".part\n"
                         << "mv " << quotedLog << ".part " << quotedLog << "\n";
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  return program;
}

// The log once the program has run, waiting at most `timeout`.
inline std::optional<std::string> waitForRecord(const std::filesystem::path& log,
                                                std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (std::ifstream in{log}) {
      std::ostringstream text;
      text << in.rdbuf();
      return text.str();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::nullopt;
}

}  // namespace orlith::testing
