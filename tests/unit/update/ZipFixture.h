// Zip packages written in the test with libarchive's writer, hostile ones included.
#pragma once

#include <archive.h>
#include <archive_entry.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace orlith::test {

struct ZipEntry {
  std::string name;
  mode_t type = AE_IFREG;
  mode_t mode = 0644;
  std::string data;
  std::string link;  // symlink target, or the hard link's first name
};

inline void writeArchive(const std::filesystem::path& file, const std::vector<ZipEntry>& entries,
                         bool tar = false) {
  archive* writer = archive_write_new();
  if (tar) {
    archive_write_set_format_pax_restricted(writer);
  } else {
    archive_write_set_format_zip(writer);
  }
  if (archive_write_open_filename(writer, file.c_str()) != ARCHIVE_OK) {
    throw std::runtime_error(archive_error_string(writer));
  }
  for (const ZipEntry& e : entries) {
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, e.name.c_str());
    archive_entry_set_filetype(entry, e.type);
    archive_entry_set_perm(entry, e.mode);
    archive_entry_set_size(entry, static_cast<la_int64_t>(e.data.size()));
    if (e.type == AE_IFLNK) {
      archive_entry_set_symlink(entry, e.link.c_str());
    } else if (!e.link.empty()) {
      archive_entry_set_hardlink(entry, e.link.c_str());
    }
    archive_write_header(writer, entry);
    if (!e.data.empty()) {
      archive_write_data(writer, e.data.data(), e.data.size());
    }
    archive_entry_free(entry);
  }
  archive_write_close(writer);
  archive_write_free(writer);
}

// Rewrites the Unix file type of one entry in the central directory, which is what the reader
// lists: libarchive's writer will not store a FIFO or a device, a hostile packer will.
inline void setUnixType(const std::filesystem::path& file, const std::string& name, mode_t type) {
  std::fstream zip(file, std::ios::in | std::ios::out | std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(zip)), {});
  const std::string signature = "PK\x01\x02";
  for (std::size_t at = bytes.find(signature); at != std::string::npos;
       at = bytes.find(signature, at + 4)) {
    const auto u16 = [&](std::size_t offset) {
      return static_cast<unsigned char>(bytes[at + offset]) |
             (static_cast<unsigned char>(bytes[at + offset + 1]) << 8);
    };
    if (bytes.compare(at + 46, u16(28), name) != 0 ||
        static_cast<std::size_t>(u16(28)) != name.size()) {
      continue;
    }
    const unsigned mode = (u16(40) & 07777) | type;
    bytes[at + 5] = 3;  // made by Unix
    bytes[at + 40] = static_cast<char>(mode & 0xff);
    bytes[at + 41] = static_cast<char>(mode >> 8);
    zip.seekp(0);
    zip.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return;
  }
  throw std::runtime_error("no such zip entry: " + name);
}

// Every file and folder of a bundle, named under its folder name.
inline std::vector<ZipEntry> entriesOf(const std::filesystem::path& bundle) {
  std::vector<ZipEntry> entries;
  const std::string top = bundle.filename().string();
  entries.push_back({top + "/", AE_IFDIR, 0755, "", ""});
  for (const auto& item : std::filesystem::recursive_directory_iterator(bundle)) {
    const std::string name = top + "/" + std::filesystem::relative(item.path(), bundle).string();
    const auto perms = static_cast<mode_t>(item.symlink_status().permissions());
    if (item.is_directory()) {
      entries.push_back({name + "/", AE_IFDIR, perms, "", ""});
    } else {
      std::ifstream in(item.path(), std::ios::binary);
      entries.push_back(
          {name, AE_IFREG, perms, std::string(std::istreambuf_iterator<char>(in), {}), ""});
    }
  }
  return entries;
}

// Sets or clears the "name is UTF-8" flag of one entry in both its local and central headers,
// whatever the name's bytes are.
inline void setUtf8NameFlag(const std::filesystem::path& file, const std::string& name, bool on) {
  std::fstream zip(file, std::ios::in | std::ios::out | std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(zip)), {});
  bool found = false;
  // Local headers keep flags at 6 and the name at 30; central ones at 8 and 46.
  for (const auto& [signature, flags, nameAt] :
       {std::tuple<std::string, std::size_t, std::size_t>{"PK\x03\x04", 6, 30},
        std::tuple<std::string, std::size_t, std::size_t>{"PK\x01\x02", 8, 46}}) {
    const std::size_t lengthAt = signature[2] == '\x03' ? 26 : 28;
    for (std::size_t at = bytes.find(signature); at != std::string::npos;
         at = bytes.find(signature, at + 4)) {
      const std::size_t length = static_cast<unsigned char>(bytes[at + lengthAt]) |
                                 (static_cast<unsigned char>(bytes[at + lengthAt + 1]) << 8);
      if (length != name.size() || bytes.compare(at + nameAt, length, name) != 0) {
        continue;
      }
      const auto high = static_cast<unsigned char>(bytes[at + flags + 1]);
      bytes[at + flags + 1] = static_cast<char>(on ? (high | 0x08) : (high & ~0x08));
      found = true;
    }
  }
  if (!found) {
    throw std::runtime_error("no such zip entry: " + name);
  }
  zip.seekp(0);
  zip.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace orlith::test
