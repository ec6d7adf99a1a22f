// Dialogs, printing and microphone decisions of a tab.
#include "workspace/surface/WebPermissions.h"

#include <exception>

namespace orlith {

bool WebPermissions::isServiceMainFrame(const PageFacts& page,
                                        const OrlithEnvironment& environment) {
  if (page.dismantled || page.frameGuard != FrameGuard::present || !page.mainFrameUri)
    return false;
  auto url = Url::parse(*page.mainFrameUri);
  return url && environment.isAllowedURL(*url);
}

ScriptDialogDecision WebPermissions::decideScriptDialog(ScriptDialogKind kind,
                                                        const PageFacts& page,
                                                        const OrlithEnvironment& environment) {
  if (kind == ScriptDialogKind::beforeUnload || !isServiceMainFrame(page, environment))
    return ScriptDialogDecision::answerInertly;
  return ScriptDialogDecision::show;
}

bool WebPermissions::allowsPrint(const PageFacts& page, const OrlithEnvironment& environment) {
  return isServiceMainFrame(page, environment);
}

MediaCaptureDecision WebPermissions::decideMediaCapture(const MediaCaptureRequest& request,
                                                        const PageFacts& page,
                                                        const OrlithEnvironment& environment,
                                                        const Preferences& preferences) {
  if (!request.audio || request.video || request.display || !isServiceMainFrame(page, environment))
    return MediaCaptureDecision::deny;
  auto answer = preferences.boolean(std::string(kMicrophoneKey));
  if (!answer)
    return MediaCaptureDecision::ask;
  return *answer ? MediaCaptureDecision::grant : MediaCaptureDecision::deny;
}

bool WebPermissions::rememberMicrophoneAnswer(Preferences& preferences, bool allowed) {
  try {
    preferences.setBoolean(std::string(kMicrophoneKey), allowed);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace orlith
