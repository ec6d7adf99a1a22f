// A client on a production-like origin over the scripted transport, run on a manual queue.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "FakeHttpTransport.h"
#include "session/OrlithAuthClient.h"
#include "support/ManualMainQueue.h"
#include "support/ManualTime.h"
#include "support/RunToCompletion.h"

namespace orlith::testing {

inline ServiceHosts exampleHosts() {
  return {"https://orlith.example", "orlith.example", "www.orlith.example"};
}

inline OrlithEnvironment exampleEnvironment() {
  return OrlithEnvironment(*Url::parse("https://orlith.example"), exampleHosts());
}

class AuthClientFixture : public ::testing::Test {
 protected:
  template <class T>
  T run(Task<T> task) {
    return runToCompletion(queue_, std::move(task));
  }

  // The error the task ends with; fails the test when it ends without one.
  template <class T>
  OrlithAuthError runError(Task<T> task) {
    try {
      run(std::move(task));
    } catch (const OrlithAuthError& error) {
      return error;
    }
    ADD_FAILURE() << "the operation did not fail";
    return OrlithAuthError::cancelled();
  }

  const HttpRequest& lastRequest() const { return transport_->sent.back().request; }

  ManualMainQueue queue_;
  MainQueue::Installation installation_{queue_};
  std::shared_ptr<FakeHttpTransport> transport_ = std::make_shared<FakeHttpTransport>();
  std::shared_ptr<ManualTime> time_ = std::make_shared<ManualTime>();
  OrlithAuthClient client_{exampleEnvironment(), transport_,
                           AppIdentity{"2.3", "45", "com.tolvik.orlith.mac"}, time_};
};

}  // namespace orlith::testing
