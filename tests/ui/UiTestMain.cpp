// Test entry for toolkit tests: GTK and gtkmm are initialised once, before any test runs.
#include <gmock/gmock.h>
#include <gtkmm.h>
#include <gtkmm/init.h>

#include "platform/glib/GlibMainQueue.h"

int main(int argc, char** argv) {
  testing::InitGoogleMock(&argc, argv);
  // The build lists the tests without a display.
  if (GTEST_FLAG_GET(list_tests))
    return RUN_ALL_TESTS();
  gtk_init();
  Gtk::init_gtkmm_internals();
  orlith::GlibMainQueue mainQueue;
  orlith::MainQueue::Installation installation(mainQueue);
  return RUN_ALL_TESTS();
}
