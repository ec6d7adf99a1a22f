// The port through which the page scripts are installed into one web view's content manager.
#pragma once

#include <string>
#include <string_view>

namespace orlith {

enum class ScriptWorld { page, readiness };

// The name of the isolated script world that the readiness script and its handler live in.
inline constexpr std::string_view kReadinessWorldName = "OrlithSurfaceReadiness";

enum class ScriptFrames { topFrameOnly, allFrames };
enum class ScriptInjectionTime { documentStart, documentEnd };

struct UserScript {
  std::string source;
  ScriptWorld world = ScriptWorld::page;
  ScriptFrames frames = ScriptFrames::topFrameOnly;
  ScriptInjectionTime time = ScriptInjectionTime::documentStart;
  friend bool operator==(const UserScript&, const UserScript&) = default;
};

class UserContentController {
 public:
  virtual ~UserContentController() = default;
  virtual void removeAllScripts() = 0;
  virtual void addScript(const UserScript& script) = 0;
};

}  // namespace orlith
