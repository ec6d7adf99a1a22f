// The process-wide parking place for command types that found no tab (the window's tab limit
// was reached); the next window of the same session takes them within 30 s.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlith {

class PendingWorkspaceWindowCommands {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  static constexpr std::size_t kMaxParked = 2;
  static constexpr std::chrono::seconds kLifetime{30};

  // The one instance of the process. Main thread only.
  static PendingWorkspaceWindowCommands& shared();

  // Parks "billing-return" or "search" (any other type: false, nothing changes). Parked types
  // of another revision, or 30 s old, are dropped first. True when nothing was parked before
  // this call: the caller then opens a new window. `now` is monotonic, so a change of the
  // wall clock cannot keep stale types.
  bool enqueue(std::string_view type, std::int64_t sessionRevision, TimePoint now);
  // The parked types when they belong to `sessionRevision` and are younger than 30 s, else
  // none; empties the store in every case.
  std::vector<std::string> take(std::int64_t sessionRevision, TimePoint now);

  const std::vector<std::string>& commands() const { return commands_; }
  const std::optional<std::int64_t>& sessionRevision() const { return sessionRevision_; }
  const std::optional<TimePoint>& createdAt() const { return createdAt_; }

 private:
  bool isExpired(TimePoint now) const { return createdAt_ && now - *createdAt_ >= kLifetime; }
  void clear();

  std::vector<std::string> commands_;
  std::optional<std::int64_t> sessionRevision_;
  std::optional<TimePoint> createdAt_;
};

}  // namespace orlith
