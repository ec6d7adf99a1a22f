# Tests that press real keys send them to whichever window has the focus on the shared display:
# they run alone, so no other test's window takes the focus between their check and their key.
# Tests of the app program run alone too: it is one instance on the test session's bus.
set_tests_properties(
  ApplicationShellTest.KeyboardCommandsActOnTheFocusedWindowAlsoWhileThePageHasFocus
  ApplicationShellTest.KeysActOnTheWindowThatHasFocusAndNotOnAnother
  ApplicationShellTest.ReturnOnTheInstallOfferContinuesAndTheDecisionArrivesOnce
  RealProgram.KeysStayAliveWithoutWindowsReopenAndQuit
  RealProgram.OtherProcessesFindNoActionOrMenuOnTheBusYetActivateAndOpenReachIt
  PROPERTIES RUN_SERIAL TRUE)
