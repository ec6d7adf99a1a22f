// What the page may have of the app beyond navigation: its script dialogs, printing and the
// microphone. Requests reach the app without their frame; the web-process extension makes the
// dialogs, printing and capture of every frame but the main one inert, so a request that arrives
// at all comes from the main frame, and the main frame's address tells its origin.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/Preferences.h"
#include "session/OrlithEnvironment.h"

namespace orlith {

// Whether the web-process extension that confines requests to the main frame is loaded.
enum class FrameGuard { present, absent };

enum class ScriptDialogKind { alert, confirm, prompt, beforeUnload };

enum class ScriptDialogDecision {
  show,          // the app asks the person in its own dialog
  answerInertly  // answered at once without a window: no, nothing, or leave the page
};

enum class MediaCaptureDecision { grant, deny, ask };

struct MediaCaptureRequest {
  bool audio = false;
  bool video = false;
  bool display = false;
};

// The state of the tab a request belongs to.
struct PageFacts {
  std::optional<std::string> mainFrameUri;
  FrameGuard frameGuard = FrameGuard::absent;
  bool dismantled = false;
};

class WebPermissions {
 public:
  // The person's answer to the microphone question, once given.
  static constexpr std::string_view kMicrophoneKey = "orlith.microphoneAllowed";

  // Shown only for the service's own main frame; leaving a page is never asked about.
  static ScriptDialogDecision decideScriptDialog(ScriptDialogKind kind, const PageFacts& page,
                                                 const OrlithEnvironment& environment);
  static bool allowsPrint(const PageFacts& page, const OrlithEnvironment& environment);
  // The microphone alone, for the service's own main frame, as the person answered; asked when
  // they have not answered yet.
  static MediaCaptureDecision decideMediaCapture(const MediaCaptureRequest& request,
                                                 const PageFacts& page,
                                                 const OrlithEnvironment& environment,
                                                 const Preferences& preferences);
  // Stores the answer; false when it could not be stored (it then holds for this request only).
  static bool rememberMicrophoneAnswer(Preferences& preferences, bool allowed);

 private:
  static bool isServiceMainFrame(const PageFacts& page, const OrlithEnvironment& environment);
};

}  // namespace orlith
