// The calls between the app and the installer service, their replies and the reply rules, and
// the JSON headers of our framing: {"v":1,"id":…,"method":…} plus "token" or "sizes".
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace orlith {

// The stream cannot be trusted any further: the connection must be closed.
class UpdateProtocolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class UpdateInstallerMethod { prepare, prepareCurrentApplication, install, cancel };

struct UpdateInstallerRequest {
  std::uint64_t id = 0;
  UpdateInstallerMethod method = UpdateInstallerMethod::prepareCurrentApplication;
  std::optional<std::string> token;  // install and cancel
  std::uint64_t packageSize = 0;     // prepare: sizes of the two bodies that follow
  std::uint64_t manifestSize = 0;
  std::string package;  // the bodies, once read
  std::string manifest;

  bool operator==(const UpdateInstallerRequest&) const = default;
};

// Replies to either prepare call. Null and "" differ: an empty token still counts as one.
struct UpdatePrepareReply {
  std::optional<std::string> token;
  std::optional<std::string> error;
  bool requiresManualInstallation = false;

  static UpdatePrepareReply success(std::string token);
  // An UpdateFailure gives (message, flag), another exception (what(), false), anything else no
  // text at all so that the client's own fallback text applies.
  static UpdatePrepareReply failure(std::exception_ptr error);
  // What a call that was never answered replies.
  static UpdatePrepareReply unanswered() { return {}; }

  bool operator==(const UpdatePrepareReply&) const = default;
};

// Replies to install and cancel.
struct UpdateCompletionReply {
  bool ok = false;
  std::optional<std::string> error;

  static UpdateCompletionReply success() { return {true, std::nullopt}; }
  static UpdateCompletionReply failure(std::exception_ptr error);
  static UpdateCompletionReply unanswered() { return {}; }

  bool operator==(const UpdateCompletionReply&) const = default;
};

struct UpdateInstallerReply {
  std::uint64_t id = 0;
  std::variant<UpdatePrepareReply, UpdateCompletionReply> body;

  bool operator==(const UpdateInstallerReply&) const = default;
};

class UpdateInstallerProtocol final {
 public:
  UpdateInstallerProtocol() = delete;

  static constexpr std::int64_t kVersion = 1;
  static constexpr std::uint32_t kMaximumHeaderSize = 65'536;

  static std::string_view methodName(UpdateInstallerMethod method);

  static std::string encodeRequestHeader(const UpdateInstallerRequest& request);
  // Throws UpdateProtocolError for anything but a well-formed request header of version 1
  // with a known method.
  static UpdateInstallerRequest decodeRequestHeader(std::string_view header);
  // The text the service answers for a body over its cap, judged before anything is
  // allocated; nothing when the sizes are acceptable.
  static std::optional<std::string> sizeRefusal(const UpdateInstallerRequest& request);

  static std::string encodeReplyHeader(const UpdateInstallerReply& reply);
  // Throws UpdateProtocolError for a malformed reply header.
  static UpdateInstallerReply decodeReplyHeader(std::string_view header);
};

}  // namespace orlith
