// Test entry for toolkit tests: GTK and gtkmm are initialised once, before any test runs.
#include <gmock/gmock.h>
#include <gtkmm.h>
#include <gtkmm/init.h>

#include <cstdlib>

#include "UiHarness.h"

#include "platform/glib/GlibMainQueue.h"
#include "workspace/surface/gtk/WebProcessExtensions.h"

int main(int argc, char** argv) {
  testing::InitGoogleMock(&argc, argv);
  // The build lists the tests without a display.
  if (GTEST_FLAG_GET(list_tests))
    return RUN_ALL_TESTS();
  // The test accessibility backend lets tests read roles and states without a bus of its own.
  setenv("GTK_A11Y", "test", 1);
  gtk_init();
  Gtk::init_gtkmm_internals();
  orlith::testing::applyTestSettings();
  // Before any test makes a web view: the engine takes sandbox paths only before its first one.
  orlith::WebProcessExtensions::install(ORLITH_BUNDLE_DIR "/Contents/Resources/web-extensions");
  orlith::GlibMainQueue mainQueue;
  orlith::MainQueue::Installation installation(mainQueue);
  return RUN_ALL_TESTS();
}
