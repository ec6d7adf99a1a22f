// A recording browser for https, registered in the test session's own XDG folders: the real
// launcher runs it, and the addresses it was given can be read back.
#pragma once

#include <glib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace orlith::testing {

class RecordingBrowser {
 public:
  RecordingBrowser() {
    namespace fs = std::filesystem;
    const fs::path data = g_get_user_data_dir();
    const fs::path config = g_get_user_config_dir();
    received_ = data / "browser-received";
    const fs::path script = data / "record-browser.sh";
    fs::create_directories(data / "applications");
    fs::create_directories(config);
    fs::remove(received_);
    std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << received_.string() << "'\n";
    fs::permissions(script, fs::perms::owner_all);
    std::ofstream(data / "applications" / "orlith-test-browser.desktop")
        << "[Desktop Entry]\nType=Application\nName=Browser\nExec=" << script.string()
        << " %u\nMimeType=x-scheme-handler/https;\nNoDisplay=true\n";
    std::ofstream(config / "mimeapps.list")
        << "[Default Applications]\nx-scheme-handler/https=orlith-test-browser.desktop\n";
  }

  // The first address opened, or "" while none was.
  std::string firstOpened() const {
    std::ifstream in(received_);
    std::string opened;
    std::getline(in, opened);
    return opened;
  }

 private:
  std::filesystem::path received_;
};

}  // namespace orlith::testing
