// The install plan's JSON codec.
#include "update/trust/UpdateInstallPlan.h"

#include <limits>

#include "base/Json.h"

#include "update/trust/FileUrl.h"
#include "update/trust/StrictBase64.h"

namespace orlith {
namespace {

using OrderedJson = nlohmann::ordered_json;

[[noreturn]] void fail(const std::string& key, const char* problem) {
  throw JsonDecodeError(key, problem);
}

const Json* optionalValue(const Json& object, const std::string& key) {
  const auto it = object.find(key);
  if (it == object.end() || it->is_null()) {
    return nullptr;
  }
  return &*it;
}

const Json& requiredValue(const Json& object, const std::string& key) {
  const Json* value = optionalValue(object, key);
  if (value == nullptr) {
    fail(key, "is missing");
  }
  return *value;
}

std::string stringOf(const Json& value, const std::string& key) {
  if (!value.is_string()) {
    fail(key, "is not a string");
  }
  return value.get<std::string>();
}

// nlohmann reads negatives as signed and fractions or numbers beyond uint64 as floats.
std::uint64_t exactUnsigned(const Json& value, const std::string& key) {
  if (!value.is_number_unsigned()) {
    fail(key, "is not an unsigned 64-bit integer");
  }
  return value.get<std::uint64_t>();
}

std::filesystem::path pathOf(const Json& value, const std::string& key, PathKind kind) {
  const auto url = FileUrl::decode(stringOf(value, key));
  if (!url || url->kind != kind) {
    fail(key, "is not a valid file URL");
  }
  return url->path;
}

OrderedJson identityJson(const UpdateDirectoryIdentity& identity) {
  OrderedJson object = OrderedJson::object();
  object["device"] = identity.device;
  object["inode"] = identity.inode;
  return object;
}

UpdateDirectoryIdentity identityOf(const Json& value, const std::string& key) {
  if (!value.is_object()) {
    fail(key, "is not an object");
  }
  return {exactUnsigned(requiredValue(value, "device"), key + ".device"),
          exactUnsigned(requiredValue(value, "inode"), key + ".inode")};
}

std::string directoryUrl(const std::filesystem::path& path) {
  return FileUrl{path, PathKind::directory}.encoded();
}

}  // namespace

std::string UpdateInstallPlan::encode() const {
  OrderedJson object = OrderedJson::object();
  object["candidate"] = directoryUrl(candidate);
  object["target"] = directoryUrl(target);
  object["source"] = directoryUrl(source);
  if (package) {
    object["package"] = FileUrl{*package, PathKind::file}.encoded();
  }
  if (manifest) {
    object["manifest"] = StrictBase64::encode(*manifest);
  }
  if (localSourceFingerprint) {
    object["localSourceFingerprint"] = *localSourceFingerprint;
  }
  object["sourceVersion"] = sourceVersion;
  object["candidateVersion"] = candidateVersion;
  object["version"] = version;
  object["architecture"] = architecture;
  object["parentPID"] = parentPID;
  object["sourceIdentity"] = identityJson(sourceIdentity);
  if (targetIdentity) {
    object["targetIdentity"] = identityJson(*targetIdentity);
  }
  object["parentIdentity"] = identityJson(parentIdentity);
  object["operation"] = wireName(operation);
  return object.dump();
}

UpdateInstallPlan UpdateInstallPlan::decode(std::string_view json) {
  const Json object = parseJson(json);
  if (!object.is_object()) {
    throw JsonDecodeError("", "The install plan is not a JSON object.");
  }
  UpdateInstallPlan plan;
  plan.candidate = pathOf(requiredValue(object, "candidate"), "candidate", PathKind::directory);
  plan.target = pathOf(requiredValue(object, "target"), "target", PathKind::directory);
  plan.source = pathOf(requiredValue(object, "source"), "source", PathKind::directory);
  if (const Json* value = optionalValue(object, "package")) {
    plan.package = pathOf(*value, "package", PathKind::file);
  }
  if (const Json* value = optionalValue(object, "manifest")) {
    plan.manifest = StrictBase64::decode(stringOf(*value, "manifest"));
    if (!plan.manifest) {
      fail("manifest", "is not base64");
    }
  }
  if (const Json* value = optionalValue(object, "localSourceFingerprint")) {
    plan.localSourceFingerprint = stringOf(*value, "localSourceFingerprint");
  }
  plan.sourceVersion = stringOf(requiredValue(object, "sourceVersion"), "sourceVersion");
  plan.candidateVersion = stringOf(requiredValue(object, "candidateVersion"), "candidateVersion");
  plan.version = stringOf(requiredValue(object, "version"), "version");
  plan.architecture = stringOf(requiredValue(object, "architecture"), "architecture");
  // A process id of zero or below would name a process group or every process to a signal.
  const std::uint64_t pid = exactUnsigned(requiredValue(object, "parentPID"), "parentPID");
  if (pid == 0 || pid > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
    fail("parentPID", "is not a process id");
  }
  plan.parentPID = static_cast<std::int32_t>(pid);
  plan.sourceIdentity = identityOf(requiredValue(object, "sourceIdentity"), "sourceIdentity");
  if (const Json* value = optionalValue(object, "targetIdentity")) {
    plan.targetIdentity = identityOf(*value, "targetIdentity");
  }
  plan.parentIdentity = identityOf(requiredValue(object, "parentIdentity"), "parentIdentity");
  const auto operation =
      updateInstallOperationFromWire(stringOf(requiredValue(object, "operation"), "operation"));
  if (!operation) {
    fail("operation", "is not an install operation");
  }
  plan.operation = *operation;
  return plan;
}

}  // namespace orlith
