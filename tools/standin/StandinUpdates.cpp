// GET /api/desktop/latest and GET /downloads/<package>.zip, read from the release folder at each
// request, so a release published while the stand-in runs is served at once.
#include "StandinUpdates.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace orlith::standin {
namespace {

std::optional<std::string> readWhole(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    return std::nullopt;
  }
  std::ifstream in(file, std::ios::binary);
  std::string bytes(std::istreambuf_iterator<char>(in), {});
  return in.bad() ? std::nullopt : std::optional<std::string>(std::move(bytes));
}

void notFound(httplib::Response& response) {
  response.status = 404;
  response.set_content(R"({"ok":false})", "application/json");
}

}  // namespace

void registerUpdates(httplib::Server& server, std::filesystem::path releaseFolder) {
  // The client verifies what it gets; the query (platform, arch, version) selects nothing here.
  server.Get(
      "/api/desktop/latest", [releaseFolder](const httplib::Request&, httplib::Response& response) {
        const auto manifest =
            releaseFolder.empty() ? std::nullopt : readWhole(releaseFolder / "manifest.json");
        if (!manifest) {
          notFound(response);
          return;
        }
        response.set_content(*manifest, "application/json");
      });
  // One path component of letters, digits, dots, dashes and underscores: nothing outside the
  // folder can be named.
  server.Get(R"(/downloads/([A-Za-z0-9_-][A-Za-z0-9._-]*\.zip))",
             [releaseFolder](const httplib::Request& request, httplib::Response& response) {
               const auto package = releaseFolder.empty()
                                        ? std::nullopt
                                        : readWhole(releaseFolder / request.matches[1].str());
               if (!package) {
                 notFound(response);
                 return;
               }
               response.set_content(*package, "application/zip");
             });
}

}  // namespace orlith::standin
