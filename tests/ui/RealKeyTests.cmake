# Tests that press real keys send them to whichever window has the focus on the shared display:
# they run alone, so no other test's window takes the focus between their check and their key.
# Tests of the app program run alone too: it is one instance on the test session's bus; and so
# does the one that stands in for a window manager on the shared display.
set_tests_properties(
  ApplicationShellTest.KeyboardCommandsActOnTheFocusedWindowAlsoWhileThePageHasFocus
  ApplicationShellTest.KeysActOnTheWindowThatHasFocusAndNotOnAnother
  ApplicationShellTest.ReturnOnTheInstallOfferContinuesAndTheDecisionArrivesOnce
  RealProgram.KeysStayAliveWithoutWindowsReopenAndQuit
  RealProgramSignIn.ALinkFromAnotherProgramKeepsNothingUntilThePersonAgrees
  RealProgramSignIn.ClosingTheWindowWhileAProviderSignInStartsEndsIt
  RealProgram.SessionCookieStaysOffDiskAndTheSessionOutlivesRestartsAndANewRuntimeFolder
  RealProgram.OtherProcessesFindNoActionOrMenuOnTheBusYetActivateAndOpenReachIt
  MenuBarKeysOnWindow.F10AndALoneAltShowTheMenuBarWithTheKeyboardAndTheyOrAChoiceHideIt
  WindowTitleBar.ADragOnTheChromesEmptyPartOrTheTopStripMovesTheWindow
  PROPERTIES RUN_SERIAL TRUE)
