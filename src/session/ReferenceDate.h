// Dates as the stored session records keep them: seconds since 2001-01-01 00:00:00 UTC as a
// double, so that a JSON round trip is exact. Conversions to clock time happen only at the edges.
#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace orlith {

// Unix time of 2001-01-01 00:00:00 UTC.
inline constexpr double kReferenceDateUnixSeconds = 978307200.0;

double referenceSecondsFrom(std::chrono::system_clock::time_point time);
// Clamped to the range the system clock can hold; NaN gives the reference date itself.
std::chrono::system_clock::time_point timePointFromReferenceSeconds(double seconds);

// An RFC 3339 internet date-time, "2024-05-01T12:00:00Z" or "2024-05-01T14:00:00.25+02:00"
// (full date, full time, an optional fraction, "Z" or a numeric offset), in reference seconds.
std::optional<double> parseInternetDateTime(std::string_view text);

}  // namespace orlith
