// Beep through the toolkit's error bell, which honours the desktop's bell setting.
#pragma once

#include <gtk/gtk.h>

#include "workspace/window/Beep.h"

namespace orlith {

class GtkBeep final : public Beep {
 public:
  // Rings on `widget`'s display; does not keep the widget alive.
  explicit GtkBeep(GtkWidget* widget);
  ~GtkBeep() override;
  GtkBeep(const GtkBeep&) = delete;
  GtkBeep& operator=(const GtkBeep&) = delete;

  void beep() override;

 private:
  GWeakRef widget_;
};

}  // namespace orlith
