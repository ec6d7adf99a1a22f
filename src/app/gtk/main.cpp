// Entry of the Orlith program.
#include "app/gtk/OrlithApplication.h"
#include "platform/glib/GlibMainQueue.h"

int main(int argc, char** argv) {
  orlith::GlibMainQueue mainQueue;
  orlith::MainQueue::Installation installation(mainQueue);
  auto application = orlith::OrlithApplication::create();
  // The app takes no options; GApplication still handles its own activation arguments.
  return application->run(argc, argv);
}
