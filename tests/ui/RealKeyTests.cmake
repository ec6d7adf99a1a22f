# Tests that press real keys send them to whichever window has the focus on the shared display:
# they run alone, so no other test's window takes the focus between their check and their key.
# The tests of the built program run alone too: its stand-in listens on the build's one port.
set_tests_properties(
  ApplicationShellTest.KeyboardCommandsActOnTheFocusedWindowAlsoWhileThePageHasFocus
  ApplicationShellTest.KeysActOnTheWindowThatHasFocusAndNotOnAnother
  ApplicationShellTest.ReturnOnTheInstallOfferContinuesAndTheDecisionArrivesOnce
  RealProgram.KeysStayAliveWithoutWindowsReopenAndQuit
  RealProgramSignIn.ALinkFromAnotherProgramKeepsNothingUntilThePersonAgrees
  RealProgramSignIn.ClosingTheWindowWhileAProviderSignInStartsEndsIt
  RealProgram.SessionCookieStaysOffDiskAndTheSessionOutlivesRestartsAndANewRuntimeFolder
  PROPERTIES RUN_SERIAL TRUE)
