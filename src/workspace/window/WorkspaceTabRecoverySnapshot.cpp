// The record's JSON form, read with the strict helpers so a wrong type is never coerced.
#include "workspace/window/WorkspaceTabRecoverySnapshot.h"

#include "base/Json.h"
#include "base/Uuid.h"

namespace orlith {
namespace {

WorkspaceTabRecoveryWindow decodeWindow(const Json& object) {
  WorkspaceTabRecoveryWindow window;
  auto id = canonicalUuid(requireString(object, "id"));
  if (!id)
    throw JsonDecodeError("id", "not a UUID");
  window.id = std::move(*id);
  for (const Json& url : requireArray(object, "urls")) {
    if (!url.is_string())
      throw JsonDecodeError("urls", "expected string, found " + jsonTypeName(url));
    window.urls.push_back(url.get<std::string>());
  }
  window.selectedIndex = requireInt64(object, "selectedIndex");
  return window;
}

}  // namespace

std::optional<WorkspaceTabRecoverySnapshot> WorkspaceTabRecoverySnapshot::decode(
    std::string_view json) {
  try {
    const Json document = parseJson(json);
    WorkspaceTabRecoverySnapshot snapshot;
    snapshot.schemaVersion = requireInt64(document, "schemaVersion");
    for (const Json& window : requireArray(document, "windows"))
      snapshot.windows.push_back(decodeWindow(window));
    return snapshot;
  } catch (const JsonDecodeError&) {
    return std::nullopt;
  }
}

std::optional<std::string> WorkspaceTabRecoverySnapshot::encode() const {
  // ordered_json keeps the members in field order, as the record has always been written.
  nlohmann::ordered_json windowsJson = nlohmann::ordered_json::array();
  for (const WorkspaceTabRecoveryWindow& window : windows) {
    nlohmann::ordered_json entry;
    entry["id"] = window.id;
    entry["urls"] = window.urls;
    entry["selectedIndex"] = window.selectedIndex;
    windowsJson.push_back(std::move(entry));
  }
  nlohmann::ordered_json document;
  document["schemaVersion"] = schemaVersion;
  document["windows"] = std::move(windowsJson);
  try {
    return document.dump();
  } catch (const nlohmann::json::exception&) {
    // dump() refuses a string that is not valid UTF-8; such a record is not written.
    return std::nullopt;
  }
}

}  // namespace orlith
