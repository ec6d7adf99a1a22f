// What the update coordinator needs of an installer connection: the four calls of the service.
#pragma once

#include <filesystem>
#include <string>

#include "base/Task.h"
#include "update/client/VerifiedUpdateRelease.h"

namespace orlith {

class UpdateInstalling {
 public:
  virtual ~UpdateInstalling() = default;
  // The token of the staged installation.
  virtual Task<std::string> prepare(std::filesystem::path packageURL,
                                    VerifiedUpdateRelease release) = 0;
  virtual Task<std::string> prepareCurrentApplication() = 0;
  virtual Task<void> install(std::string token) = 0;
  // The service's answer; false for any failure of the call. Never throws.
  virtual Task<bool> cancel(std::string token) = 0;
};

}  // namespace orlith
