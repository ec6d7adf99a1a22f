#include "app/RootViewAdapters.h"

namespace orlith {

SessionStoreRootSession::SessionStoreRootSession(std::shared_ptr<SessionStore> store)
    : store_(std::move(store)) {
  storeChanged_ = store_->changed().connect([this](SessionField field) {
    if (field == SessionField::state || field == SessionField::currentSession ||
        field == SessionField::sessionRevision) {
      changed_.emit();
    }
  });
}

}  // namespace orlith
