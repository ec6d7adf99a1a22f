// The AT-SPI side of the end-to-end tests, over libatspi's synchronous calls.
#include "AccessibleTree.h"

#include <thread>

#include "support/TestTimeBudget.h"

namespace orlith::testing {
namespace {

constexpr const char* kChangeEvents[] = {"object:property-change:accessible-name",
                                         "object:property-change:accessible-description"};

std::string taken(gchar* text) {
  std::string result = text ? text : "";
  g_free(text);
  return result;
}

}  // namespace

bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + boundedByTestTime(timeout);
  for (;;) {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    if (done())
      return true;
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void initializeAccessibility() {
  static const int once = atspi_init();
  (void)once;
}

Accessible applicationOf(pid_t pid) {
  Accessible desktop(atspi_get_desktop(0));
  const gint count = atspi_accessible_get_child_count(desktop.get(), nullptr);
  for (gint i = 0; i < count; ++i) {
    Accessible application(atspi_accessible_get_child_at_index(desktop.get(), i, nullptr));
    if (application &&
        atspi_accessible_get_process_id(application.get(), nullptr) == static_cast<guint>(pid))
      return application;
  }
  return nullptr;
}

std::vector<pid_t> accessibleProcesses() {
  std::vector<pid_t> processes;
  Accessible desktop(atspi_get_desktop(0));
  const gint count = atspi_accessible_get_child_count(desktop.get(), nullptr);
  for (gint i = 0; i < count; ++i) {
    Accessible application(atspi_accessible_get_child_at_index(desktop.get(), i, nullptr));
    if (application)
      processes.push_back(
          static_cast<pid_t>(atspi_accessible_get_process_id(application.get(), nullptr)));
  }
  return processes;
}

Accessible findAccessible(AtspiAccessible* root,
                          const std::function<bool(AtspiAccessible*)>& matches) {
  if (root == nullptr)
    return nullptr;
  if (matches(root))
    return Accessible(static_cast<AtspiAccessible*>(g_object_ref(root)));
  const gint count = atspi_accessible_get_child_count(root, nullptr);
  for (gint i = 0; i < count; ++i) {
    Accessible child(atspi_accessible_get_child_at_index(root, i, nullptr));
    if (Accessible found = findAccessible(child.get(), matches))
      return found;
  }
  return nullptr;
}

std::string nameOf(AtspiAccessible* accessible) {
  return taken(atspi_accessible_get_name(accessible, nullptr));
}

std::string descriptionOf(AtspiAccessible* accessible) {
  return taken(atspi_accessible_get_description(accessible, nullptr));
}

AtspiRole roleOf(AtspiAccessible* accessible) {
  return atspi_accessible_get_role(accessible, nullptr);
}

std::string pathOf(AtspiAccessible* accessible) {
  return ATSPI_OBJECT(accessible)->path ? ATSPI_OBJECT(accessible)->path : "";
}

std::optional<double> currentValue(AtspiAccessible* accessible) {
  std::unique_ptr<AtspiValue, UnrefObject> value(atspi_accessible_get_value_iface(accessible));
  if (!value)
    return std::nullopt;
  GError* error = nullptr;
  const double current = atspi_value_get_current_value(value.get(), &error);
  if (error) {
    g_error_free(error);
    return std::nullopt;
  }
  return current;
}

bool activate(AtspiAccessible* accessible) {
  std::unique_ptr<AtspiAction, UnrefObject> action(atspi_accessible_get_action_iface(accessible));
  if (!action || atspi_action_get_n_actions(action.get(), nullptr) < 1)
    return false;
  GError* error = nullptr;
  const bool done = atspi_action_do_action(action.get(), 0, &error);
  if (error)
    g_error_free(error);
  return done;
}

std::function<bool(AtspiAccessible*)> clickable(const std::string& name) {
  return [name](AtspiAccessible* accessible) {
    if (nameOf(accessible) != name)
      return false;
    std::unique_ptr<AtspiAction, UnrefObject> action(atspi_accessible_get_action_iface(accessible));
    return action && atspi_action_get_n_actions(action.get(), nullptr) > 0;
  };
}

std::function<bool(AtspiAccessible*)> withRole(AtspiRole role, const std::string& name) {
  return [role, name](AtspiAccessible* accessible) {
    return roleOf(accessible) == role && (name.empty() || nameOf(accessible) == name);
  };
}

AccessibleChanges::AccessibleChanges(std::function<void(const AccessibleChange&)> observe)
    : observe_(std::move(observe)) {
  listener_ = atspi_event_listener_new(&AccessibleChanges::received, this, nullptr);
  for (const char* event : kChangeEvents)
    atspi_event_listener_register(listener_, event, nullptr);
}

AccessibleChanges::~AccessibleChanges() {
  for (const char* event : kChangeEvents)
    atspi_event_listener_deregister(listener_, event, nullptr);
  g_object_unref(listener_);
}

void AccessibleChanges::received(AtspiEvent* event, void* self) {
  auto& changes = *static_cast<AccessibleChanges*>(self);
  AccessibleChange change;
  const std::string type = event->type ? event->type : "";
  change.property = type.substr(type.rfind(':') + 1);
  change.path = event->source ? pathOf(event->source) : "";
  if (G_VALUE_HOLDS_STRING(&event->any_data) && g_value_get_string(&event->any_data))
    change.value = g_value_get_string(&event->any_data);
  g_boxed_free(ATSPI_TYPE_EVENT, event);
  changes.changes_.push_back(change);
  if (changes.observe_)
    changes.observe_(change);
}

std::vector<std::string> AccessibleChanges::valuesOf(const std::string& path,
                                                     const std::string& property,
                                                     std::size_t from) const {
  std::vector<std::string> values;
  for (std::size_t i = from; i < changes_.size(); ++i) {
    const AccessibleChange& change = changes_[i];
    if (change.path == path && change.property == property &&
        (values.empty() || values.back() != change.value))
      values.push_back(change.value);
  }
  return values;
}

}  // namespace orlith::testing
