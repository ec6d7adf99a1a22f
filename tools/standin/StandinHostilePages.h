// Hostile pages for the web surface's tests: a workspace page holding a frame of the foreign
// origin (https://localhost on the same port) that tries, on its own or when clicked, to act
// outside its frame; and main-frame controls for real clicks.
#pragma once

#include <httplib.h>

namespace orlith::standin {

// Registered before the workspace pages' catch-all /app route.
void registerHostilePages(httplib::Server& server);

}  // namespace orlith::standin
