#include "signin/AuthCallbackRoute.h"

#include <algorithm>

namespace orlith {

struct AuthCallbackRoute::Registration::Entry {
  Receiver receiver;
};

AuthCallbackRoute::Registration& AuthCallbackRoute::Registration::operator=(
    Registration&& other) noexcept {
  if (this != &other) {
    reset();
    route_ = std::move(other.route_);
    entry_ = std::move(other.entry_);
  }
  return *this;
}

void AuthCallbackRoute::Registration::reset() {
  if (!entry_)
    return;
  if (std::shared_ptr<AuthCallbackRoute*> route = route_.lock())
    (*route)->remove(entry_);
  entry_.reset();
  route_.reset();
}

AuthCallbackRoute::AuthCallbackRoute() : self_(std::make_shared<AuthCallbackRoute*>(this)) {}

AuthCallbackRoute::~AuthCallbackRoute() = default;

bool AuthCallbackRoute::isAuthCallbackLink(const Url& url) {
  return url.scheme() == "orlith" && url.lowercasedHost() == "auth";
}

AuthCallbackRoute::Registration AuthCallbackRoute::waitForCallback(Receiver receiver) {
  auto entry = std::make_shared<Registration::Entry>(Registration::Entry{std::move(receiver)});
  waiting_.push_back(entry);
  return Registration(self_, std::move(entry));
}

bool AuthCallbackRoute::deliver(const Url& url) {
  if (waiting_.empty())
    return false;
  std::shared_ptr<Registration::Entry> newest = waiting_.back();
  waiting_.pop_back();
  // The receiver may start another wait; it runs after its own entry has left the list.
  newest->receiver(url);
  return true;
}

void AuthCallbackRoute::remove(const std::shared_ptr<Registration::Entry>& entry) {
  std::erase(waiting_, entry);
}

}  // namespace orlith
