// The stand-in's update endpoints: the signed manifest of the release published in a folder (as
// orlith-release writes it) and that release's package.
#pragma once

#include <httplib.h>

#include <filesystem>

namespace orlith::standin {

// With no folder, or none published in it, the latest-release endpoint answers 404.
void registerUpdates(httplib::Server& server, std::filesystem::path releaseFolder);

}  // namespace orlith::standin
