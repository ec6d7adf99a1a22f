// Spoken announcements for assistive technologies. GTK 4.8 offers none, so the desktop adapter
// does nothing; tests record what would be said.
#pragma once

#include <string>

namespace orlith {

class Announcer {
 public:
  virtual ~Announcer() = default;
  virtual void announce(const std::string& text) = 0;
};

class SilentAnnouncer final : public Announcer {
 public:
  void announce(const std::string&) override {}
};

}  // namespace orlith
