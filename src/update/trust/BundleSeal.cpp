// Reading, describing and verifying bundle seals.
#include "update/trust/BundleSeal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <system_error>
#include <vector>

#include "base/PropertyList.h"
#include "update/trust/DescriptorFiles.h"
#include "update/trust/Ed25519.h"
#include "update/trust/StrictBase64.h"
#include "update/trust/UpdateSignatureVerifier.h"

namespace orlith {
namespace {

constexpr int kSealFormat = 1;
constexpr int kMaximumNesting = 4;

[[noreturn]] void refuse(const std::string& what) {
  throw BundleSealError(what);
}

// Names in a folder, sorted, without "." and "..".
std::vector<std::string> namesIn(int folder) {
  try {
    return DescriptorFiles::namesIn(folder);
  } catch (const std::system_error&) {
    refuse("a folder cannot be listed");
  }
}

void checkMode(const struct stat& info, const std::string& path) {
  if ((info.st_mode & (S_ISUID | S_ISGID)) != 0) {
    refuse(path + ": setuid or setgid");
  }
  if (!S_ISLNK(info.st_mode) && (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    refuse(path + ": writable by group or others");
  }
}

bool sameObject(int fd, const struct stat& expected) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && info.st_dev == expected.st_dev &&
         info.st_ino == expected.st_ino;
}

// A relative link target that, taken from the link's folder, stays inside Contents/.
bool staysInside(const std::string& folder, const std::string& target) {
  if (target.empty() || target.front() == '/') {
    return false;
  }
  std::vector<std::string> parts;
  auto push = [&parts](std::string_view text) {
    std::size_t start = 0;
    while (start <= text.size()) {
      const std::size_t end = std::min(text.find('/', start), text.size());
      const std::string_view part = text.substr(start, end - start);
      if (part == "..") {
        if (parts.empty()) {
          return false;
        }
        parts.pop_back();
      } else if (!part.empty() && part != ".") {
        parts.emplace_back(part);
      }
      start = end + 1;
    }
    return true;
  };
  return push(folder) && push(target);
}

std::string nestedResourcesDigest(int bundleFolder, const std::string& path) {
  UniqueFd contents = DescriptorFiles::openDirectory(bundleFolder, "Contents");
  UniqueFd signature =
      contents ? DescriptorFiles::openDirectory(contents.get(), "_CodeSignature") : UniqueFd();
  UniqueFd resources =
      signature ? DescriptorFiles::openRegularFile(signature.get(), "CodeResources") : UniqueFd();
  if (!resources) {
    refuse(path + ": nested bundle is not sealed");
  }
  return DescriptorFiles::sha256Of(resources.get());
}

void walk(int folder, const std::string& prefix, SealLinkPolicy links, SealEntries& out) {
  for (const std::string& name : namesIn(folder)) {
    const std::string path = prefix.empty() ? name : prefix + "/" + name;
    if (path == BundleSeal::kResourcesPath || path == BundleSeal::kSignaturePath) {
      continue;
    }
    const auto info = DescriptorFiles::statAt(folder, name);
    if (!info) {
      refuse(path + ": cannot be read");
    }
    checkMode(*info, path);
    SealEntry entry;
    if (S_ISDIR(info->st_mode)) {
      const UniqueFd child = DescriptorFiles::openDirectory(folder, name);
      if (!child || !sameObject(child.get(), *info)) {
        refuse(path + ": folder changed while read");
      }
      if (BundleSeal::isNestedBundleName(name)) {
        entry.kind = SealEntryKind::bundle;
        entry.digest = nestedResourcesDigest(child.get(), path);
        out.emplace(path, std::move(entry));
        continue;
      }
      entry.kind = SealEntryKind::directory;
      out.emplace(path, std::move(entry));
      walk(child.get(), path, links, out);
    } else if (S_ISREG(info->st_mode)) {
      const UniqueFd file = DescriptorFiles::openRegularFile(folder, name);
      if (!file || !sameObject(file.get(), *info)) {
        refuse(path + ": file changed while read");
      }
      entry.kind = SealEntryKind::file;
      entry.digest = DescriptorFiles::sha256Of(file.get());
      entry.executable = (info->st_mode & S_IXUSR) != 0;
      out.emplace(path, std::move(entry));
    } else if (S_ISLNK(info->st_mode)) {
      if (links == SealLinkPolicy::refuse) {
        refuse(path + ": symbolic links cannot be sealed");
      }
      std::string target(4096, '\0');
      const ssize_t size = ::readlinkat(folder, name.c_str(), target.data(), target.size());
      if (size < 0 || static_cast<std::size_t>(size) >= target.size()) {
        refuse(path + ": link cannot be read");
      }
      target.resize(static_cast<std::size_t>(size));
      if (!staysInside(prefix, target)) {
        refuse(path + ": link leaves the bundle");
      }
      entry.kind = SealEntryKind::link;
      entry.linkTarget = std::move(target);
      out.emplace(path, std::move(entry));
    } else {
      refuse(path + ": special file");
    }
  }
}

// The bundle folder itself and its Contents/, checked and opened.
UniqueFd openContents(const std::filesystem::path& bundle) {
  const UniqueFd root = DescriptorFiles::openDirectory(bundle.string());
  struct stat info {};
  if (!root || ::fstat(root.get(), &info) != 0) {
    refuse("the bundle cannot be opened");
  }
  checkMode(info, ".");
  if (namesIn(root.get()) != std::vector<std::string>{"Contents"}) {
    refuse("the bundle holds more than Contents");
  }
  UniqueFd contents = DescriptorFiles::openDirectory(root.get(), "Contents");
  if (!contents || ::fstat(contents.get(), &info) != 0) {
    refuse("Contents cannot be opened");
  }
  checkMode(info, "Contents");
  return contents;
}

std::optional<std::string> readSealFile(int contents, const std::string& name, std::size_t limit) {
  const UniqueFd folder = DescriptorFiles::openDirectory(contents, "_CodeSignature");
  const UniqueFd file = folder ? DescriptorFiles::openRegularFile(folder.get(), name) : UniqueFd();
  if (!file) {
    return std::nullopt;
  }
  auto bytes = DescriptorFiles::readAtMost(file.get(), limit);
  if (!bytes || bytes->size() > limit) {
    return std::nullopt;
  }
  return bytes;
}

std::optional<std::string> plistIdentifier(int contents) {
  const UniqueFd file = DescriptorFiles::openRegularFile(contents, "Info.plist");
  const auto bytes = file ? DescriptorFiles::readAtMost(file.get(), kMaxPropertyListFileSize)
                          : std::optional<std::string>();
  if (!bytes || bytes->size() > kMaxPropertyListFileSize) {
    return std::nullopt;
  }
  try {
    const PlistValue root = parsePropertyList(*bytes);
    const PlistDictionary* dictionary = root.dictionary();
    const PlistValue* identifier = dictionary ? dictionary->find("CFBundleIdentifier") : nullptr;
    if (identifier == nullptr || identifier->string() == nullptr) {
      return std::nullopt;
    }
    return *identifier->string();
  } catch (const PropertyListError&) {
    return std::nullopt;
  }
}

Json encodeEntry(const SealEntry& entry) {
  switch (entry.kind) {
    case SealEntryKind::file:
      return Json{{"sha256", entry.digest}, {"exec", entry.executable}};
    case SealEntryKind::directory:
      return Json{{"dir", true}};
    case SealEntryKind::bundle:
      return Json{{"bundle", entry.digest}};
    case SealEntryKind::link:
      return Json{{"link", entry.linkTarget}};
  }
  return Json::object();
}

SealEntry decodeEntry(const std::string& path, const Json& value) {
  if (!value.is_object()) {
    throw JsonDecodeError(path, "a seal entry must be an object");
  }
  SealEntry entry;
  if (value.size() == 2 && value.contains("sha256") && value.contains("exec")) {
    entry.kind = SealEntryKind::file;
    entry.digest = requireString(value, "sha256");
    entry.executable = requireBool(value, "exec");
  } else if (value.size() == 1 && value.contains("dir")) {
    if (!requireBool(value, "dir")) {
      throw JsonDecodeError(path, "\"dir\" must be true");
    }
    entry.kind = SealEntryKind::directory;
  } else if (value.size() == 1 && value.contains("bundle")) {
    entry.kind = SealEntryKind::bundle;
    entry.digest = requireString(value, "bundle");
  } else if (value.size() == 1 && value.contains("link")) {
    entry.kind = SealEntryKind::link;
    entry.linkTarget = requireString(value, "link");
  } else {
    throw JsonDecodeError(path, "unknown seal entry");
  }
  const bool digestKind = entry.kind == SealEntryKind::file || entry.kind == SealEntryKind::bundle;
  if (digestKind && !UpdateSignatureVerifier::validSHA256(entry.digest)) {
    throw JsonDecodeError(path, "bad digest");
  }
  return entry;
}

BundleSealDocument verifyAt(const std::filesystem::path& bundle, std::string_view identifier,
                            const UpdateTeam& team, int depth) {
  if (depth > kMaximumNesting) {
    refuse("bundles nested too deeply");
  }
  const auto key = StrictBase64::decode(team.publicKey);
  if (!key || !Ed25519::isValidPublicKey(*key)) {
    refuse("the team key is invalid");
  }
  const UniqueFd contents = openContents(bundle);
  const auto resources =
      readSealFile(contents.get(), "CodeResources", BundleSeal::kMaximumResourcesSize);
  const auto signature = readSealFile(contents.get(), "CodeSignature", Ed25519::kSignatureSize);
  if (!resources || !signature) {
    refuse("the bundle is not sealed");
  }
  if (signature->size() != Ed25519::kSignatureSize ||
      !Ed25519::verify(*key, *resources, *signature)) {
    refuse("the seal is not signed by the team");
  }
  BundleSealDocument document;
  try {
    document = BundleSealDocument::decode(*resources);
  } catch (const JsonDecodeError&) {
    refuse("the seal is malformed");
  }
  if (document.identifier != identifier || document.team != team) {
    refuse("the seal names another identifier or team");
  }
  if (plistIdentifier(contents.get()) != document.identifier) {
    refuse("Info.plist names another identifier");
  }
  SealEntries actual;
  walk(contents.get(), "", SealLinkPolicy::allowRelative, actual);
  if (actual != document.files) {
    refuse("the bundle's contents differ from its seal");
  }
  for (const auto& [path, entry] : actual) {
    if (entry.kind != SealEntryKind::bundle) {
      continue;
    }
    const std::filesystem::path nested = bundle / "Contents" / path;
    const UniqueFd nestedContents = openContents(nested);
    const auto nestedIdentifier = plistIdentifier(nestedContents.get());
    if (!nestedIdentifier) {
      refuse(path + ": nested bundle has no identifier");
    }
    verifyAt(nested, *nestedIdentifier, team, depth + 1);
  }
  return document;
}

}  // namespace

std::string BundleSealDocument::encode() const {
  Json entries = Json::object();
  for (const auto& [path, entry] : files) {
    entries[path] = encodeEntry(entry);
  }
  const Json document{{"format", kSealFormat},
                      {"identifier", identifier},
                      {"teamIdentifier", team.identifier},
                      {"teamPublicKey", team.publicKey},
                      {"entitlements", entitlements},
                      {"files", entries}};
  return document.dump();
}

BundleSealDocument BundleSealDocument::decode(std::string_view json) {
  const Json root = parseJson(json);
  if (!root.is_object()) {
    throw JsonDecodeError("", "a seal must be an object");
  }
  if (requireInt64(root, "format") != kSealFormat) {
    throw JsonDecodeError("format", "unknown seal format");
  }
  BundleSealDocument document;
  document.identifier = requireString(root, "identifier");
  document.team.identifier = requireString(root, "teamIdentifier");
  document.team.publicKey = requireString(root, "teamPublicKey");
  document.entitlements = requireObject(root, "entitlements");
  for (const auto& [path, value] : requireObject(root, "files").items()) {
    document.files.emplace(path, decodeEntry(path, value));
  }
  return document;
}

bool BundleSeal::isWellFormed(const UpdateTeam& team) {
  if (team.identifier.size() != 10) {
    return false;
  }
  for (const char c : team.identifier) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))) {
      return false;
    }
  }
  const auto key = StrictBase64::decode(team.publicKey);
  return key && key->size() == Ed25519::kPublicKeySize;
}

bool BundleSeal::isNestedBundleName(std::string_view name) {
  return name.size() > 4 && (name.ends_with(".app") || name.ends_with(".xpc"));
}

SealEntries BundleSeal::describe(const std::filesystem::path& bundle, SealLinkPolicy links) {
  const UniqueFd contents = openContents(bundle);
  SealEntries entries;
  walk(contents.get(), "", links, entries);
  return entries;
}

std::optional<BundleSealDocument> BundleSeal::readUnverified(const std::filesystem::path& bundle) {
  const UniqueFd contents = DescriptorFiles::openDirectory((bundle / "Contents").string());
  const auto resources = contents
                             ? readSealFile(contents.get(), "CodeResources", kMaximumResourcesSize)
                             : std::optional<std::string>();
  if (!resources) {
    return std::nullopt;
  }
  try {
    return BundleSealDocument::decode(*resources);
  } catch (const JsonDecodeError&) {
    return std::nullopt;
  }
}

BundleSealDocument BundleSeal::verify(const std::filesystem::path& bundle,
                                      std::string_view identifier, const UpdateTeam& team) {
  return verifyAt(bundle, identifier, team, 0);
}

}  // namespace orlith
