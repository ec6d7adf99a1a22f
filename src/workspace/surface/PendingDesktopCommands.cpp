// Validation, absorption and capacity of a tab's desktop commands.
#include "workspace/surface/PendingDesktopCommands.h"

#include <algorithm>
#include <cmath>

#include "base/Url.h"
#include "base/Uuid.h"
#include "workspace/surface/AppPathSafety.h"

namespace orlith {
namespace {

// Any host stands in: the href is checked as the path, query and fragment of a URL on it.
constexpr std::string_view kProbeBase = "https://href.invalid";

// NaN and infinities have no JSON text; nlohmann would write them as null.
bool holdsOnlyFiniteNumbers(const Json& value) {
  if (value.is_number_float())
    return std::isfinite(value.get<double>());
  if (value.is_structured()) {
    return std::all_of(value.begin(), value.end(),
                       [](const Json& element) { return holdsOnlyFiniteNumbers(element); });
  }
  return true;
}

std::optional<std::string> serialise(const Json& payload) {
  if (!holdsOnlyFiniteNumbers(payload))
    return std::nullopt;
  try {
    return payload.dump(-1, ' ', true);
  } catch (const Json::type_error&) {
    return std::nullopt;  // invalid UTF-8 in a string
  }
}

}  // namespace

bool PendingDesktopCommands::isAcceptableHref(std::string_view href) {
  if (href.size() > kMaxHrefBytes)
    return false;
  // A scheme ends before the first "/", and "//" starts a host: only a path-absolute
  // reference can have neither.
  if (!href.starts_with("/") || href.starts_with("//"))
    return false;
  std::string probe(kProbeBase);
  probe += href;
  auto url = Url::parse(probe);
  return url && isSafeAppPath(*url);
}

bool PendingDesktopCommands::enqueue(const Json& payload) {
  if (!payload.is_object())
    return false;
  auto typeMember = payload.find("type");
  if (typeMember == payload.end() || !typeMember->is_string())
    return false;
  const std::string type = typeMember->get<std::string>();
  if (std::find(kCommandTypes.begin(), kCommandTypes.end(), type) == kCommandTypes.end())
    return false;
  if (type == "navigate") {
    auto href = payload.find("href");
    if (href == payload.end() || !href->is_string() ||
        !isAcceptableHref(href->get_ref<const std::string&>())) {
      return false;
    }
  }
  auto json = serialise(payload);
  if (!json)
    return false;
  if ((type == "billing-return" || type == "search") && isQueued(type))
    return true;
  std::size_t limit =
      type == "billing-return" || isQueued("billing-return") ? kCapacity : kCapacity - 1;
  if (commands_.size() >= limit)
    return false;
  commands_.push_back(Command{makeRandomUuid(), type, std::move(*json)});
  return true;
}

void PendingDesktopCommands::removeFirst(std::string_view id) {
  if (!commands_.empty() && commands_.front().id == id)
    commands_.erase(commands_.begin());
}

bool PendingDesktopCommands::isQueued(std::string_view type) const {
  return std::any_of(commands_.begin(), commands_.end(),
                     [type](const Command& command) { return command.type == type; });
}

PendingDesktopCommands::CommandTarget PendingDesktopCommands::commandTarget(
    const std::vector<bool>& eligible, std::optional<std::size_t> selectedIndex,
    std::size_t maximumTabs) {
  if (selectedIndex && *selectedIndex < eligible.size() && eligible[*selectedIndex])
    return CommandTarget::tab(*selectedIndex);
  auto first = std::find(eligible.begin(), eligible.end(), true);
  if (first != eligible.end())
    return CommandTarget::tab(static_cast<std::size_t>(first - eligible.begin()));
  if (eligible.size() < maximumTabs)
    return CommandTarget::newTab();
  return CommandTarget::tabLimit();
}

}  // namespace orlith
