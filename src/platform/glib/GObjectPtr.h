// Owning pointer for GObject instances: one reference, released with g_object_unref.
#pragma once

#include <glib-object.h>

#include <memory>

namespace orlith {

struct GObjectUnref {
  void operator()(gpointer object) const {
    if (object != nullptr)
      g_object_unref(object);
  }
};

template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// Takes a new reference (sinking a floating one) and owns it.
template <class T>
GObjectPtr<T> retainObject(T* object) {
  return GObjectPtr<T>(static_cast<T*>(g_object_ref_sink(object)));
}

// Owns a reference the caller was given by a constructor or getter that transfers it.
template <class T>
GObjectPtr<T> adoptObject(T* object) {
  return GObjectPtr<T>(object);
}

struct GFreeDeleter {
  void operator()(gpointer memory) const { g_free(memory); }
};

using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;

struct GErrorDeleter {
  void operator()(GError* error) const {
    if (error != nullptr)
      g_error_free(error);
  }
};

using GErrorPtr = std::unique_ptr<GError, GErrorDeleter>;

}  // namespace orlith
