// The account key, the cleaning of stored entries and the read-merge-write of one window's entry.
#include "workspace/window/WorkspaceTabRecoveryStore.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "base/Sha256.h"
#include "base/Text.h"
#include "base/Uuid.h"
#include "platform/icu/UnicodeText.h"
#include "workspace/surface/AppPathSafety.h"

namespace orlith {
namespace {

// Walks the URLs in order, keeping the recoverable ones, and moves the selected index to the
// kept URL at or nearest before it (0 when none lies there).
WorkspaceTabRecoveryWindow keepRecoverable(std::string id, const std::vector<Url>& urls,
                                           std::int64_t selectedIndex, const Url& origin) {
  WorkspaceTabRecoveryWindow window{std::move(id), {}, 0};
  std::int64_t newIndex = 0;
  for (std::size_t i = 0; i < urls.size(); ++i) {
    auto kept = WorkspaceTabRecoveryStore::recoverableURL(urls[i], origin);
    if (!kept)
      continue;
    if (static_cast<std::int64_t>(i) <= selectedIndex)
      newIndex = static_cast<std::int64_t>(window.urls.size());
    window.urls.push_back(kept->absoluteString());
  }
  if (!window.urls.empty())
    window.selectedIndex = std::min(static_cast<std::int64_t>(window.urls.size()) - 1, newIndex);
  return window;
}

}  // namespace

WorkspaceTabRecoveryStore::WorkspaceTabRecoveryStore(Preferences& defaults,
                                                     OrlithEnvironment environment, std::string key)
    : defaults_(&defaults), environment_(std::move(environment)), key_(std::move(key)) {}

std::optional<WorkspaceTabRecoveryStore> WorkspaceTabRecoveryStore::make(
    const std::optional<std::string>& account, OrlithEnvironment environment,
    Preferences& defaults) {
  if (!account)
    return std::nullopt;
  auto key = recoveryKey(*account);
  if (!key)
    return std::nullopt;
  return WorkspaceTabRecoveryStore(defaults, std::move(environment), std::move(*key));
}

std::optional<std::string> WorkspaceTabRecoveryStore::recoveryKey(std::string_view account) {
  // Lower-casing refuses text that is not valid UTF-8, so no lossy form is ever hashed.
  auto normalized = lowercasedLocaleIndependent(trimWhitespaceAndNewlines(account));
  if (!normalized || normalized->empty())
    return std::nullopt;
  auto length = graphemeClusterCount(*normalized);
  if (!length || *length > kMaximumAccountLength)
    return std::nullopt;
  if (normalized->find('@') == std::string::npos)
    return std::nullopt;
  return std::string(kKeyPrefix) + sha256Hex(*normalized);
}

std::optional<Url> WorkspaceTabRecoveryStore::recoverableURL(const Url& url, const Url& origin) {
  return safeRecoverableURL(url, origin);
}

std::optional<WorkspaceTabRecoveryWindow> WorkspaceTabRecoveryStore::sanitizedWindow(
    const WorkspaceTabRecoveryWindow& window, std::set<std::string>& seen) const {
  std::string id = canonicalUuid(window.id).value_or(window.id);
  if (!seen.insert(id).second)
    return std::nullopt;
  const Url& origin = environment_.origin();
  std::vector<Url> urls;
  const std::size_t count = std::min(window.urls.size(), kMaximumURLsPerWindow);
  for (std::size_t i = 0; i < count; ++i) {
    // A string that is no URL stands for the origin, which is kept only if it is itself a
    // workspace page; either way the positions after it keep their places.
    urls.push_back(Url::parse(window.urls[i]).value_or(origin));
  }
  auto cleaned = keepRecoverable(std::move(id), urls, window.selectedIndex, origin);
  if (cleaned.urls.empty())
    return std::nullopt;
  return cleaned;
}

std::vector<WorkspaceTabRecoveryWindow> WorkspaceTabRecoveryStore::load() const {
  auto data = defaults_->data(key_);
  if (!data || data->size() > kMaximumRecordBytes)
    return {};
  auto snapshot = WorkspaceTabRecoverySnapshot::decode(
      std::string_view(reinterpret_cast<const char*>(data->data()), data->size()));
  if (!snapshot || snapshot->schemaVersion != kSchemaVersion)
    return {};
  std::vector<WorkspaceTabRecoveryWindow> windows;
  std::set<std::string> seen;
  const std::size_t count = std::min(snapshot->windows.size(), kMaximumWindows);
  for (std::size_t i = 0; i < count; ++i) {
    if (auto cleaned = sanitizedWindow(snapshot->windows[i], seen))
      windows.push_back(std::move(*cleaned));
  }
  return windows;
}

void WorkspaceTabRecoveryStore::save(const std::string& windowID, const std::vector<Url>& urls,
                                     std::int64_t selectedIndex) const {
  auto id = canonicalUuid(windowID);
  if (!id)
    return;
  const std::vector<Url> considered(
      urls.begin(),
      urls.begin() + static_cast<std::ptrdiff_t>(std::min(urls.size(), kMaximumURLsPerWindow)));
  auto entry = keepRecoverable(std::move(*id), considered, selectedIndex, environment_.origin());
  if (entry.urls.empty())
    return;

  WorkspaceTabRecoverySnapshot snapshot{kSchemaVersion, load()};
  auto existing = std::find_if(snapshot.windows.begin(), snapshot.windows.end(),
                               [&](const auto& window) { return window.id == entry.id; });
  if (existing != snapshot.windows.end())
    *existing = std::move(entry);
  else
    snapshot.windows.push_back(std::move(entry));
  if (snapshot.windows.size() > kMaximumWindows) {
    snapshot.windows.erase(snapshot.windows.begin(),
                           snapshot.windows.end() - static_cast<std::ptrdiff_t>(kMaximumWindows));
  }

  auto encoded = snapshot.encode();
  if (!encoded || encoded->size() > kMaximumRecordBytes)
    return;
  try {
    defaults_->setData(key_, PreferenceData(encoded->begin(), encoded->end()));
  } catch (const std::exception&) {
    // A full disk or an unwritable file must not break the window: the earlier record stays,
    // and the next change of the window's tabs tries again.
  }
}

void WorkspaceTabRecoveryStore::remove() const {
  try {
    defaults_->remove(key_);
  } catch (const std::exception&) {
    // Removal happens as the session ends, where nobody can act on a failure; the record
    // stays until a later removal or save replaces it.
  }
}

}  // namespace orlith
