# The tests whose app reaches the stand-in at the build's own origin share its one port: they take
# turns, so no app downloads a release another test's stand-in signed.
set_tests_properties(
  UpdateRoadTest.CoordinatorChecksDownloadsPreparesAndInstallsFromTheStandin
  UpdateRoadTest.FoldersThatAreLinksAreRefusedWithEveryFileLeftAndPutRightTheUpdateInstalls
  PROPERTIES RESOURCE_LOCK orlith-standin-port)
