// One tab's chip in the tab strip: a title button that selects the tab, a close button, and a
// rounded background that shows selection and hover. It takes plain values, not the tab.
#pragma once

#include <gtkmm/button.h>
#include <gtkmm/eventcontrollermotion.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>
#include <gtkmm/widget.h>

#include <functional>
#include <string>

#include "workspace/window/WorkspaceTabChipPresentation.h"

namespace orlith {

class WorkspaceTabChipView : public Gtk::Widget {
 public:
  WorkspaceTabChipView();
  ~WorkspaceTabChipView() override;

  // Applies the tab's values; the actions replace the previous ones. The width is the chip's
  // preferred width (its height is always 26).
  void update(const std::string& title, bool selected, bool canClose, bool isDark, double width,
              std::function<void()> onSelect, std::function<void()> onClose);

  const WorkspaceTabChipPresentation& presentation() const { return presentation_; }
  double tabWidth() const { return tabWidth_; }
  Gtk::Button& titleButton() { return titleButton_; }
  Gtk::Button& closeButton() { return closeButton_; }

 protected:
  Gtk::SizeRequestMode get_request_mode_vfunc() const override;
  void measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural,
                     int& minimumBaseline, int& naturalBaseline) const override;
  void size_allocate_vfunc(int width, int height, int baseline) override;
  void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;

 private:
  void present();
  void watchRoot();

  Gtk::Button titleButton_;
  Gtk::Label titleLabel_;
  Gtk::Button closeButton_;
  Gtk::Image closeImage_;
  Glib::RefPtr<Gtk::EventControllerMotion> motion_;

  std::string title_;
  bool selected_ = false;
  bool canClose_ = true;
  bool dark_ = false;
  bool pointerInside_ = false;
  double tabWidth_ = 160;
  std::function<void()> onSelect_;
  std::function<void()> onClose_;
  WorkspaceTabChipPresentation presentation_;

  sigc::connection rootConnection_;
  sigc::connection activeConnection_;
};

}  // namespace orlith
