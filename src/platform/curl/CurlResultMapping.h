// Translation of libcurl's transfer results into URL-loading errors.
#pragma once

#include <curl/curl.h>

#include "session/TransportError.h"

namespace orlith {

enum class NetworkAvailability { available, unavailable };

TransportError transportErrorFor(CURLcode result, long osErrno, NetworkAvailability network);

}  // namespace orlith
