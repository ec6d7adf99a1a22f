// Shows an item in the desktop's file manager through org.freedesktop.FileManager1.ShowItems on
// the session bus; when no file manager answers, opens the item's folder with its default
// handler instead.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "app/FileRevealer.h"

namespace orlith {

class FileManagerRevealer final : public FileRevealer {
 public:
  // Opens a folder's address when the file manager cannot show the item.
  using FolderOpener = std::function<bool(const std::string& uri)>;

  // With no opener, the folder opens through the default handler without a launch context.
  explicit FileManagerRevealer(FolderOpener openFolder = {});

  void reveal(const std::filesystem::path& item) override;

 private:
  FolderOpener openFolder_;
};

}  // namespace orlith
