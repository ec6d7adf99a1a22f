// Chooses the window a provider sign-in's waiting sheet is attached to: the active main window,
// else the first one listed, else none (the sheet then stands alone).
#pragma once

#include <optional>
#include <vector>

namespace orlith {

// An opaque handle of a toolkit window.
struct PresentationAnchor {
  const void* window = nullptr;
  bool operator==(const PresentationAnchor&) const = default;
};

class AuthPresentationProvider {
 public:
  // The windows of the application, as the toolkit lists them.
  class Windows {
   public:
    virtual ~Windows() = default;
    virtual std::optional<PresentationAnchor> activeWindow() const = 0;
    virtual std::vector<PresentationAnchor> windows() const = 0;
  };

  explicit AuthPresentationProvider(const Windows& windows) : windows_(windows) {}

  std::optional<PresentationAnchor> presentationAnchor() const;

 private:
  const Windows& windows_;
};

}  // namespace orlith
