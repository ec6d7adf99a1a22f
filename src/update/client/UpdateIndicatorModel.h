// What the update indicator and its panel need of the update client: the published snapshot and
// its change signal, the panel's main action, and the running copy's version.
#pragma once

#include <string>

#include "base/Observable.h"
#include "update/client/UpdateSnapshot.h"

namespace orlith {

class UpdateIndicatorModel {
 public:
  virtual ~UpdateIndicatorModel() = default;

  virtual const UpdateSnapshot& snapshot() = 0;
  // Emitted synchronously after each published snapshot.
  virtual ChangeSignal& changed() = 0;
  virtual void performPrimaryAction() = 0;
  virtual std::string appVersion() const = 0;
};

}  // namespace orlith
