// Test entry for toolkit tests: GTK and gtkmm are initialised once, before any test runs.
#include <gmock/gmock.h>
#include <gtkmm.h>
#include <gtkmm/init.h>

#include <glib.h>
#include <stdlib.h>

#include <cstdlib>
#include <string>

#include "UiHarness.h"

#include "platform/glib/GlibMainQueue.h"
#include "workspace/surface/gtk/WebProcessExtensions.h"

int main(int argc, char** argv) {
  testing::InitGoogleMock(&argc, argv);
  // The build lists the tests without a display.
  if (GTEST_FLAG_GET(list_tests))
    return RUN_ALL_TESTS();
  // Each test runs in a process of its own; its preferences, web data and caches are its own
  // too, so tests that run side by side share no session flag, tab record or cookie database.
  // Before anything asks GLib for these folders: it keeps the first answer.
  const char* home = std::getenv("HOME");
  std::string folder = std::string(home && *home ? home : "/tmp") + "/ui-test-XXXXXX";
  if (mkdtemp(folder.data())) {
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
      const std::string path = folder + "/" + name;
      g_mkdir_with_parents(path.c_str(), 0700);
      setenv(name, path.c_str(), 1);
    }
  }
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
