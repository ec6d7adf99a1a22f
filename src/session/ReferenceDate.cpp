// Conversions between reference seconds, clock time and internet date-time text.
#include "session/ReferenceDate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace orlith {
namespace {

using Nanoseconds = std::chrono::system_clock::duration;

// Days from 1970-01-01 to the given proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

unsigned daysInMonth(std::int64_t year, unsigned month) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  std::optional<unsigned> digits(std::size_t count) {
    if (text_.size() - position_ < count)
      return std::nullopt;
    unsigned value = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const char c = text_[position_ + i];
      if (c < '0' || c > '9')
        return std::nullopt;
      value = value * 10 + static_cast<unsigned>(c - '0');
    }
    position_ += count;
    return value;
  }
  bool literal(char expected) {
    if (position_ < text_.size() && text_[position_] == expected) {
      ++position_;
      return true;
    }
    return false;
  }
  // The digits of a fraction after its ".", as a value in [0, 1).
  std::optional<double> fraction() {
    double value = 0;
    double scale = 0.1;
    std::size_t count = 0;
    while (position_ < text_.size() && text_[position_] >= '0' && text_[position_] <= '9') {
      value += scale * (text_[position_] - '0');
      scale /= 10;
      ++position_;
      ++count;
    }
    if (count == 0)
      return std::nullopt;
    return value;
  }
  bool atEnd() const { return position_ == text_.size(); }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
};

}  // namespace

double referenceSecondsFrom(std::chrono::system_clock::time_point time) {
  const auto sinceEpoch = std::chrono::duration<double>(time.time_since_epoch());
  return sinceEpoch.count() - kReferenceDateUnixSeconds;
}

std::chrono::system_clock::time_point timePointFromReferenceSeconds(double seconds) {
  if (std::isnan(seconds))
    seconds = 0;
  // Kept well inside the clock's range, so the conversion below cannot overflow.
  constexpr double kLimit =
      static_cast<double>(std::numeric_limits<Nanoseconds::rep>::max()) / 1e9 / 2;
  const double unixSeconds = std::clamp(seconds + kReferenceDateUnixSeconds, -kLimit, kLimit);
  return std::chrono::system_clock::time_point(
      std::chrono::duration_cast<Nanoseconds>(std::chrono::duration<double>(unixSeconds)));
}

std::optional<double> parseInternetDateTime(std::string_view text) {
  Reader reader(text);
  const auto year = reader.digits(4);
  if (!year || !reader.literal('-'))
    return std::nullopt;
  const auto month = reader.digits(2);
  if (!month || *month < 1 || *month > 12 || !reader.literal('-'))
    return std::nullopt;
  const auto day = reader.digits(2);
  if (!day || *day < 1 || *day > daysInMonth(*year, *month))
    return std::nullopt;
  if (!reader.literal('T') && !reader.literal('t'))
    return std::nullopt;
  const auto hour = reader.digits(2);
  if (!hour || *hour > 23 || !reader.literal(':'))
    return std::nullopt;
  const auto minute = reader.digits(2);
  if (!minute || *minute > 59 || !reader.literal(':'))
    return std::nullopt;
  const auto second = reader.digits(2);
  if (!second || *second > 59)
    return std::nullopt;
  double fraction = 0;
  if (reader.literal('.')) {
    const auto digits = reader.fraction();
    if (!digits)
      return std::nullopt;
    fraction = *digits;
  }
  std::int64_t offsetSeconds = 0;
  if (!reader.literal('Z') && !reader.literal('z')) {
    int sign = 0;
    if (reader.literal('+'))
      sign = 1;
    else if (reader.literal('-'))
      sign = -1;
    else
      return std::nullopt;
    const auto offsetHours = reader.digits(2);
    if (!offsetHours || *offsetHours > 23 || !reader.literal(':'))
      return std::nullopt;
    const auto offsetMinutes = reader.digits(2);
    if (!offsetMinutes || *offsetMinutes > 59)
      return std::nullopt;
    offsetSeconds = sign * static_cast<std::int64_t>(*offsetHours * 3600 + *offsetMinutes * 60);
  }
  if (!reader.atEnd())
    return std::nullopt;

  const std::int64_t unixSeconds = daysFromCivil(*year, *month, *day) * 86400 + *hour * 3600 +
                                   *minute * 60 + *second - offsetSeconds;
  return static_cast<double>(unixSeconds) - kReferenceDateUnixSeconds + fraction;
}

}  // namespace orlith
