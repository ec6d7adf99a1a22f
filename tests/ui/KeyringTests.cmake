# UI tests that sign in store the one session item in the test session's shared keyring, and
# one of them expects to find none: they take turns.
set_tests_properties(
  FirstWindow.SignedOutShowsTheLaunchScreenAndAStoredSessionTheWorkspace
  ApplicationShellTest.KeyboardCommandsActOnTheFocusedWindowAlsoWhileThePageHasFocus
  ApplicationShellTest.KeysActOnTheWindowThatHasFocusAndNotOnAnother
  ApplicationShellTest.MenuAndAcceleratorsAreInstalledAndFollowTheSession
  ApplicationShellTest.SettingsChangeLaunchAtLoginDiagnosticsAndAppearanceForReal
  RealProgram.KeysStayAliveWithoutWindowsReopenAndQuit
  PROPERTIES RESOURCE_LOCK orlith_keyring_session)
