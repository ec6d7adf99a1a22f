// The stand-in's account API and diagnostics endpoint, with scriptable replies for tests.
//
// Scripting (plain JSON over the same server):
//   POST /__standin/replies  queues one reply for a route: {"method" (default "POST"), "path",
//                             "status", "body", "headers": {name: value} or [[name, value]],
//                             "setCookies": [text], "delayMs"}
//   GET  /__standin/requests  the requests received so far, oldest first
//   POST /__standin/reset     drops queued replies, recorded requests and sessions
//   POST /__standin/handoff   issues a provider hand-off token for {"email"}: {"token"}; the
//                             token is good for one consume
//   POST /__standin/expire-sessions  ends every session, as the service does when they expire
//
// Seeded accounts (password "orlith-demo"): demo@orlith.test, and two-factor@orlith.test,
// whose code, like every sign-up code, is "123456". A session check renews the session cookie's
// expiry with the same value.
#pragma once

#include <httplib.h>

namespace orlith::standin {

// Registers the routes on `server`. The state lives as long as the process.
void registerAccountApi(httplib::Server& server);

}  // namespace orlith::standin
