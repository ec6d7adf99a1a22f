// Runs a Task to its end by iterating a GLib main context, for programs without a GMainLoop.
#pragma once

#include <glib.h>

#include "base/StartedTask.h"

namespace orlith {

// The installed main queue must post onto `context` (nullptr: the default context).
template <class T>
T runOnMainContext(Task<T> task, GMainContext* context = nullptr) {
  return runUntilComplete(std::move(task), [context] {
    g_main_context_iteration(context, TRUE);
    return true;
  });
}

}  // namespace orlith
