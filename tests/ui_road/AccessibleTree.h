// Another program's windows as an assistive technology meets them, over AT-SPI: its accessible
// tree, found by process id, clicks through the accessible actions, and the name and description
// changes it announces, in the order it announced them.
#pragma once

#include <atspi/atspi.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orlith::testing {

struct UnrefObject {
  void operator()(gpointer object) const { g_object_unref(object); }
};
using Accessible = std::unique_ptr<AtspiAccessible, UnrefObject>;

// Turns the main loop, which delivers the announcements, until `done` or the time-out.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// Connects to the accessibility bus once per process.
void initializeAccessibility();

// The application of that process on the accessibility bus, when it is there.
Accessible applicationOf(pid_t pid);
// Every process that shows an application on the accessibility bus.
std::vector<pid_t> accessibleProcesses();

// The first accessible below `root` (itself included), depth first, that `matches`.
Accessible findAccessible(AtspiAccessible* root,
                          const std::function<bool(AtspiAccessible*)>& matches);

std::string nameOf(AtspiAccessible* accessible);
std::string descriptionOf(AtspiAccessible* accessible);
AtspiRole roleOf(AtspiAccessible* accessible);
// The object's path on the bus: the same object in every lookup and every announcement.
std::string pathOf(AtspiAccessible* accessible);
std::optional<double> currentValue(AtspiAccessible* accessible);
// Runs the accessible's first action ("click" for a button); false when it has none.
bool activate(AtspiAccessible* accessible);

// A button with that name that can be clicked.
std::function<bool(AtspiAccessible*)> clickable(const std::string& name);
std::function<bool(AtspiAccessible*)> withRole(AtspiRole role, const std::string& name = {});

struct AccessibleChange {
  std::string path;
  // "accessible-name" or "accessible-description"
  std::string property;
  std::string value;
};

// Records every name and description change announced on the bus while it lives; `observe`
// sees each one as it arrives, while the announcing program may already have moved on.
class AccessibleChanges {
 public:
  explicit AccessibleChanges(std::function<void(const AccessibleChange&)> observe = {});
  ~AccessibleChanges();
  AccessibleChanges(const AccessibleChanges&) = delete;
  AccessibleChanges& operator=(const AccessibleChanges&) = delete;

  const std::vector<AccessibleChange>& all() const { return changes_; }
  // The values of one property of one object, consecutive repeats dropped.
  std::vector<std::string> valuesOf(const std::string& path, const std::string& property,
                                    std::size_t from = 0) const;

 private:
  static void received(AtspiEvent* event, void* self);

  std::function<void(const AccessibleChange&)> observe_;
  AtspiEventListener* listener_ = nullptr;
  std::vector<AccessibleChange> changes_;
};

}  // namespace orlith::testing
