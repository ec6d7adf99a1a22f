// The short list of main-frame link activations waiting for the engine's question.
#include "workspace/surface/MainFrameActivations.h"

#include <algorithm>

#include "base/Text.h"

namespace orlith {

void MainFrameActivations::record(LinkActivation activation, double now) {
  if (reports_.size() == kCapacity)
    reports_.pop_front();
  reports_.push_back({std::move(activation), now});
}

std::optional<LinkActivation> MainFrameActivations::take(std::string_view uri, double now) {
  std::erase_if(reports_, [&](const Report& report) {
    return now - report.at > kLifetimeSeconds || now < report.at;
  });
  auto found = std::find_if(reports_.begin(), reports_.end(),
                            [&](const Report& report) { return report.activation.uri == uri; });
  if (found == reports_.end())
    return std::nullopt;
  LinkActivation activation = std::move(found->activation);
  reports_.erase(found);
  return activation;
}

bool MainFrameActivations::targetsOwnFrame(std::string_view target) {
  const std::string lower = asciiLowercase(target);
  return lower.empty() || lower == "_self" || lower == "_top" || lower == "_parent";
}

}  // namespace orlith
