// The stand-in's test web application: workspace pages that keep the page contract, and the
// routes the web surface's tests need (foreign frame, sign-in redirect, 401s, downloads, a hang).
#pragma once

#include <httplib.h>

namespace orlith::standin {

void registerWorkspacePages(httplib::Server& server);

}  // namespace orlith::standin
