// The update check.
#include "update/client/UpdateChecker.h"

#include <exception>

#include "base/BundleInfo.h"
#include "session/OrlithAuthClient.h"
#include "session/OrlithWire.h"
#include "session/TransportError.h"
#include "update/trust/DesktopUpdateManifest.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateManifestPolicy.h"
#include "update/trust/UpdateSignatureVerifier.h"
#include "update/trust/UpdateWire.h"

namespace orlith {
namespace {

constexpr const char* kInvalidEndpoint = "Invalid update endpoint.";
constexpr const char* kServerError = "The update server returned an error.";
constexpr const char* kUnreadable = "The update response could not be read.";
constexpr const char* kMetadataInvalid =
    "The signed update metadata is invalid or targets another platform.";
constexpr const char* kPackageInvalid = "The signed update package or checksum is invalid.";

std::string lowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::optional<Url> endpointOf(const UpdateCheckerContext& context) {
  const Url& origin = context.environment.origin();
  const std::string text =
      OrlithEnvironment::originString(origin, context.environment.hosts().originText) +
      std::string(wire::kDesktopLatestPath);
  const Url endpoint = Url::parse(text).value_or(origin);
  Url::Components components = endpoint.originComponents();
  components.path = endpoint.path();
  components.queryItems =
      std::vector<Url::QueryItem>{{"platform", std::string(update_wire::kPlatform)},
                                  {"arch", context.architecture},
                                  {"version", context.appVersion}};
  return Url::build(components);
}

// The checks of a received manifest, in order; the first that fails decides.
UpdateCheckResult judge(const UpdateCheckerContext& context, const std::string& body) {
  if (body.size() > UpdateChecker::kMaximumReplySize)
    return UpdateCheckResult::failed(kUnreadable);
  DesktopUpdateManifest outer;
  try {
    outer = DesktopUpdateManifest::decode(body);
  } catch (const std::exception&) {
    return UpdateCheckResult::failed(kUnreadable);
  }
  DesktopUpdateManifest inner;
  try {
    inner = UpdateSignatureVerifier::verify(outer, context.publicKey, context.hosts);
  } catch (const UpdateFailure& failure) {
    return UpdateCheckResult::failed(failure.message());
  } catch (const std::exception& error) {
    // The inner payload's own decode error.
    return UpdateCheckResult::failed(error.what());
  }
  if (!UpdateManifestPolicy::isValid(inner, context.architecture))
    return UpdateCheckResult::failed(kMetadataInvalid);
  const auto order = UpdateManifestPolicy::compareVersions(*inner.version, context.appVersion);
  if (!order)
    return UpdateCheckResult::failed(kMetadataInvalid);
  if (*order <= 0)
    return UpdateCheckResult::upToDate();
  if (!inner.downloadUrl)
    return UpdateCheckResult::failed(kPackageInvalid);
  auto address = UpdateManifestPolicy::trustedDownloadURL(*inner.downloadUrl, context.hosts);
  if (!address)
    return UpdateCheckResult::failed(kPackageInvalid);
  // Only zip packages install here, and the service compares the extension as written; a disk
  // image is refused before it is downloaded.
  const auto extension = UpdateManifestPolicy::pathExtension(address->absoluteString());
  if (extension && lowerAscii(*extension) == "dmg")
    return UpdateCheckResult::failed(std::string(InstallationSecurity::kDiskImageRefusal));
  if (extension != "zip")
    return UpdateCheckResult::failed(kPackageInvalid);
  if (!inner.sha256 || !UpdateSignatureVerifier::validSHA256(*inner.sha256))
    return UpdateCheckResult::failed(kPackageInvalid);
  return UpdateCheckResult::available(
      VerifiedUpdateRelease{*inner.version, std::move(*address), lowerAscii(*inner.sha256), body});
}

}  // namespace

UpdateCheckerContext UpdateCheckerContext::ofApplication() {
  const BundleInfo& bundle = BundleInfo::main();
  return {OrlithEnvironment::shared(), bundle.appVersion(), bundle.string("OrlithUpdatePublicKey"),
          UpdateTrustedHosts::ofBuild(), std::string(update_wire::kOwnArchitecture)};
}

UpdateChecker::UpdateChecker(HttpTransport& transport, UpdateCheckerContext context,
                             std::chrono::milliseconds timeout)
    : context_(std::move(context)),
      timeout_(timeout),
      session_(transport.makeSession(OrlithAuthClient::publicServiceSessionSettings(timeout))) {}

Task<UpdateCheckResult> UpdateChecker::check() {
  const auto endpoint = endpointOf(context_);
  if (!endpoint)
    co_return UpdateCheckResult::failed(kInvalidEndpoint);
  HttpRequest request;
  request.url = endpoint->absoluteString();
  request.headers.set("Accept", "application/json");
  request.headers.set("User-Agent", std::string(wire::kUserAgentPrefix) + context_.appVersion);
  request.timeout = timeout_;
  request.maxBodyBytes = kMaximumReplySize;
  HttpResponse response;
  try {
    response = co_await session_->send(std::move(request));
  } catch (const TransportError& error) {
    if (error.isUrlError(UrlErrorCode::dataLengthExceedsMaximum))
      co_return UpdateCheckResult::failed(kUnreadable);
    co_return UpdateCheckResult::failed(error.description());
  } catch (const std::exception& error) {
    co_return UpdateCheckResult::failed(error.what());
  }
  if (response.status < 200 || response.status > 299)
    co_return UpdateCheckResult::failed(kServerError);
  co_return judge(context_, response.body);
}

}  // namespace orlith
