// Installer protocol headers and reply rules.
#include "update/trust/UpdateInstallerProtocol.h"

#include "base/Json.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateWire.h"

namespace orlith {
namespace {

constexpr UpdateInstallerMethod kMethods[] = {
    UpdateInstallerMethod::prepare, UpdateInstallerMethod::prepareCurrentApplication,
    UpdateInstallerMethod::install, UpdateInstallerMethod::cancel};

[[noreturn]] void malformed(const std::string& what) {
  throw UpdateProtocolError("Malformed installer frame: " + what + ".");
}

Json parseHeader(std::string_view header) {
  Json document;
  try {
    document = parseJson(header);
  } catch (const JsonDecodeError& error) {
    malformed(error.what());
  }
  if (!document.is_object()) {
    malformed("the header is not an object");
  }
  const auto version = document.find("v");
  if (version == document.end() || !version->is_number_integer() ||
      version->get<std::int64_t>() != UpdateInstallerProtocol::kVersion) {
    malformed("unknown version");
  }
  return document;
}

const Json& member(const Json& document, const char* key) {
  const auto it = document.find(key);
  if (it == document.end()) {
    malformed(std::string("no \"") + key + "\"");
  }
  return *it;
}

std::uint64_t unsignedMember(const Json& value, const char* key) {
  if (!value.is_number_unsigned()) {
    malformed(std::string("\"") + key + "\" is not an unsigned integer");
  }
  return value.get<std::uint64_t>();
}

std::optional<std::string> nullableString(const Json& document, const char* key) {
  const Json& value = member(document, key);
  if (value.is_null()) {
    return std::nullopt;
  }
  if (!value.is_string()) {
    malformed(std::string("\"") + key + "\" is not a string");
  }
  return value.get<std::string>();
}

Json nullable(const std::optional<std::string>& text) {
  return text ? Json(*text) : Json(nullptr);
}

// Texts are ours, but a system error's text may not be UTF-8; it must not break the frame.
std::string dump(const Json& document) {
  return document.dump(-1, ' ', false, Json::error_handler_t::replace);
}

template <typename Reply>
Reply failureOf(std::exception_ptr error, bool& manual) {
  Reply reply;
  manual = false;
  try {
    if (error) {
      std::rethrow_exception(error);
    }
  } catch (const UpdateFailure& failure) {
    reply.error = failure.message();
    manual = failure.requiresManualInstallation();
  } catch (const std::exception& other) {
    reply.error = other.what();
  } catch (...) {
    // No text to give: the client's fallback text applies.
  }
  return reply;
}

}  // namespace

UpdatePrepareReply UpdatePrepareReply::success(std::string token) {
  return {std::move(token), std::nullopt, false};
}

UpdatePrepareReply UpdatePrepareReply::failure(std::exception_ptr error) {
  bool manual = false;
  UpdatePrepareReply reply = failureOf<UpdatePrepareReply>(std::move(error), manual);
  reply.requiresManualInstallation = manual;
  return reply;
}

UpdateCompletionReply UpdateCompletionReply::failure(std::exception_ptr error) {
  bool manual = false;
  return failureOf<UpdateCompletionReply>(std::move(error), manual);
}

std::string_view UpdateInstallerProtocol::methodName(UpdateInstallerMethod method) {
  switch (method) {
    case UpdateInstallerMethod::prepare:
      return "prepare";
    case UpdateInstallerMethod::prepareCurrentApplication:
      return "prepareCurrentApplication";
    case UpdateInstallerMethod::install:
      return "install";
    case UpdateInstallerMethod::cancel:
      return "cancel";
  }
  return "prepare";
}

std::string UpdateInstallerProtocol::encodeRequestHeader(const UpdateInstallerRequest& request) {
  Json header = {{"v", kVersion}, {"id", request.id}, {"method", methodName(request.method)}};
  switch (request.method) {
    case UpdateInstallerMethod::prepare:
      header["sizes"] = Json::array({request.packageSize, request.manifestSize});
      break;
    case UpdateInstallerMethod::install:
    case UpdateInstallerMethod::cancel:
      header["token"] = request.token.value_or("");
      break;
    case UpdateInstallerMethod::prepareCurrentApplication:
      break;
  }
  return dump(header);
}

UpdateInstallerRequest UpdateInstallerProtocol::decodeRequestHeader(std::string_view text) {
  const Json header = parseHeader(text);
  UpdateInstallerRequest request;
  request.id = unsignedMember(member(header, "id"), "id");
  const Json& method = member(header, "method");
  if (!method.is_string()) {
    malformed("\"method\" is not a string");
  }
  const std::string name = method.get<std::string>();
  bool known = false;
  for (const auto candidate : kMethods) {
    if (methodName(candidate) == name) {
      request.method = candidate;
      known = true;
    }
  }
  if (!known) {
    malformed("unknown method");
  }
  if (request.method == UpdateInstallerMethod::prepare) {
    const Json& sizes = member(header, "sizes");
    if (!sizes.is_array() || sizes.size() != 2) {
      malformed("\"sizes\" is not a pair");
    }
    request.packageSize = unsignedMember(sizes[0], "sizes");
    request.manifestSize = unsignedMember(sizes[1], "sizes");
  } else if (request.method != UpdateInstallerMethod::prepareCurrentApplication) {
    const Json& token = member(header, "token");
    if (!token.is_string()) {
      malformed("\"token\" is not a string");
    }
    request.token = token.get<std::string>();
  }
  return request;
}

std::optional<std::string> UpdateInstallerProtocol::sizeRefusal(
    const UpdateInstallerRequest& request) {
  if (request.method != UpdateInstallerMethod::prepare) {
    return std::nullopt;
  }
  if (request.packageSize > update_wire::kMaximumPackageSize) {
    return "The update package has an invalid size.";
  }
  if (request.manifestSize > update_wire::kMaximumManifestSize) {
    return "The updater verification key is missing.";
  }
  return std::nullopt;
}

std::string UpdateInstallerProtocol::encodeReplyHeader(const UpdateInstallerReply& reply) {
  Json header = {{"v", kVersion}, {"id", reply.id}};
  if (const auto* prepare = std::get_if<UpdatePrepareReply>(&reply.body)) {
    header["token"] = nullable(prepare->token);
    header["error"] = nullable(prepare->error);
    header["manual"] = prepare->requiresManualInstallation;
  } else {
    const auto& completion = std::get<UpdateCompletionReply>(reply.body);
    header["ok"] = completion.ok;
    header["error"] = nullable(completion.error);
  }
  return dump(header);
}

UpdateInstallerReply UpdateInstallerProtocol::decodeReplyHeader(std::string_view text) {
  const Json header = parseHeader(text);
  UpdateInstallerReply reply;
  reply.id = unsignedMember(member(header, "id"), "id");
  const bool isPrepare = header.contains("manual");
  if (isPrepare == header.contains("ok")) {
    malformed("the reply is of no known kind");
  }
  if (isPrepare) {
    UpdatePrepareReply prepare;
    prepare.token = nullableString(header, "token");
    prepare.error = nullableString(header, "error");
    const Json& manual = member(header, "manual");
    if (!manual.is_boolean()) {
      malformed("\"manual\" is not a boolean");
    }
    prepare.requiresManualInstallation = manual.get<bool>();
    reply.body = std::move(prepare);
  } else {
    UpdateCompletionReply completion;
    const Json& ok = member(header, "ok");
    if (!ok.is_boolean()) {
      malformed("\"ok\" is not a boolean");
    }
    completion.ok = ok.get<bool>();
    completion.error = nullableString(header, "error");
    reply.body = std::move(completion);
  }
  return reply;
}

}  // namespace orlith
