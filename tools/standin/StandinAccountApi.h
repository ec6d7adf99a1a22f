// The stand-in's account API and diagnostics endpoint, with scriptable replies for tests.
//
// Scripting (plain JSON over the same server):
//   POST /__standin/replies  queues one reply for a route: {"method" (default "POST"), "path",
//                             "status", "body", "headers": {name: value} or [[name, value]],
//                             "setCookies": [text], "delayMs"}
//   GET  /__standin/requests  the requests received so far, oldest first
//   POST /__standin/reset     drops queued replies, recorded requests and sessions
#pragma once

#include <httplib.h>

namespace orlith::standin {

// Registers the routes on `server`. The state lives as long as the process.
void registerAccountApi(httplib::Server& server);

}  // namespace orlith::standin
