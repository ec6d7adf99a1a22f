// Links activated in the main frame, as the web-process extension reports them before the engine
// asks about the navigation they start. The engine's own question names no frame; a report for
// the same address tells that the navigation comes from the main frame and where it goes.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace orlith {

struct LinkActivation {
  std::string uri;     // the link's absolute address
  std::string target;  // the link's target attribute, "" when it has none
  bool download = false;
  // A person's click or key, not the page's own click().
  bool trusted = false;
  friend bool operator==(const LinkActivation&, const LinkActivation&) = default;
};

class MainFrameActivations {
 public:
  static constexpr std::size_t kCapacity = 16;
  // A report the engine never asked about (the page prevented the click) goes stale.
  static constexpr double kLifetimeSeconds = 5.0;

  void record(LinkActivation activation, double now);
  // The oldest live report for this address, taken out.
  std::optional<LinkActivation> take(std::string_view uri, double now);
  void clear() { reports_.clear(); }

  // Whether the link opens in the frame that holds it (here, the main frame).
  static bool targetsOwnFrame(std::string_view target);

 private:
  struct Report {
    LinkActivation activation;
    double at = 0;
  };
  std::deque<Report> reports_;
};

}  // namespace orlith
