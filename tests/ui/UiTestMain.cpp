// Test entry for toolkit tests: GTK and gtkmm are initialised once, before any test runs.
#include <gmock/gmock.h>
#include <gtkmm.h>
#include <gtkmm/init.h>

#include "platform/glib/GlibMainQueue.h"
#include "workspace/surface/gtk/WebProcessExtensions.h"

int main(int argc, char** argv) {
  testing::InitGoogleMock(&argc, argv);
  // The build lists the tests without a display.
  if (GTEST_FLAG_GET(list_tests))
    return RUN_ALL_TESTS();
  // Accessible properties are checked against GTK's own test context.
  g_setenv("GTK_A11Y", "test", FALSE);
  gtk_init();
  Gtk::init_gtkmm_internals();
  // Before any test makes a web view: the engine takes sandbox paths only before its first one.
  orlith::WebProcessExtensions::install(ORLITH_BUNDLE_DIR "/Contents/Resources/web-extensions");
  orlith::GlibMainQueue mainQueue;
  orlith::MainQueue::Installation installation(mainQueue);
  return RUN_ALL_TESTS();
}
