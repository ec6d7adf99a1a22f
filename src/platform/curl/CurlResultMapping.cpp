// The table from libcurl results to URL-loading error codes.
#include "platform/curl/CurlResultMapping.h"

#include <cerrno>

namespace orlith {
namespace {

UrlErrorCode codeFor(CURLcode result) {
  switch (result) {
    case CURLE_OPERATION_TIMEDOUT:
      return UrlErrorCode::timedOut;
    case CURLE_COULDNT_RESOLVE_HOST:
      return UrlErrorCode::cannotFindHost;
    case CURLE_COULDNT_CONNECT:
      return UrlErrorCode::cannotConnectToHost;
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return UrlErrorCode::networkConnectionLost;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CLIENTCERT:
      return UrlErrorCode::secureConnectionFailed;
    default:
      return UrlErrorCode::unknown;
  }
}

}  // namespace

TransportError transportErrorFor(CURLcode result, long osErrno, NetworkAvailability network) {
  UrlErrorCode code = codeFor(result);
  if ((code != UrlErrorCode::unknown && network == NetworkAvailability::unavailable) ||
      osErrno == ENETUNREACH) {
    code = UrlErrorCode::notConnectedToInternet;
  }
  return TransportError::url(code);
}

}  // namespace orlith
