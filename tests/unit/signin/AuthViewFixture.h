// An AuthView over the fake store, a hand-driven clock and queue, a recording announcer and a
// scripted provider session.
#pragma once

#include <gmock/gmock.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FakeAuthStore.h"
#include "signin/AuthView.h"
#include "support/ManualMainQueue.h"
#include "support/ManualTime.h"

namespace orlith::testing {

class RecordingAnnouncer final : public Announcer {
 public:
  void announce(const std::string& text) override { spoken.push_back(text); }
  std::vector<std::string> spoken;
};

class FakeWindows final : public AuthPresentationProvider::Windows {
 public:
  std::optional<PresentationAnchor> activeWindow() const override { return active; }
  std::vector<PresentationAnchor> windows() const override { return all; }
  std::optional<PresentationAnchor> active;
  std::vector<PresentationAnchor> all;
};

// Sessions that start as the test says and complete when the test calls complete().
class FakeWebAuth final : public WebAuthSessionFactory {
 public:
  struct Record {
    std::string url;
    std::string scheme;
    std::optional<PresentationAnchor> anchor;
    bool started = false;
    bool cancelled = false;
    WebAuthSession::Completion completion;
    int resumed = 0;
  };

  class Session final : public WebAuthSession {
   public:
    Session(FakeWebAuth& owner, std::shared_ptr<Record> record)
        : owner_(owner), record_(std::move(record)) {}
    ~Session() override { record_->cancelled = true; }
    bool start() override {
      record_->started = true;
      return owner_.startResult;
    }
    void resumeWaiting() override { ++record_->resumed; }
    void cancel() override { record_->cancelled = true; }

   private:
    FakeWebAuth& owner_;
    std::shared_ptr<Record> record_;
  };

  std::unique_ptr<WebAuthSession> makeSession(Url url, std::string scheme,
                                              std::optional<PresentationAnchor> anchor,
                                              WebAuthSession::Completion completion) override {
    auto record = std::make_shared<Record>(
        Record{url.absoluteString(), scheme, anchor, false, false, std::move(completion), 0});
    records.push_back(record);
    return std::make_unique<Session>(*this, record);
  }

  // Hands the newest session a link or an error on a later turn, as a real one does.
  void complete(std::optional<std::string> url, std::optional<WebAuthError> error) {
    std::shared_ptr<Record> record = records.back();
    std::optional<Url> parsed = url ? Url::parse(*url) : std::nullopt;
    MainQueue::shared().post([record, parsed, error] {
      if (!record->cancelled)
        record->completion(parsed, error);
    });
  }

  bool startResult = true;
  std::vector<std::shared_ptr<Record>> records;
};

class AuthViewFixture : public ::testing::Test {
 protected:
  std::shared_ptr<AuthView> makeView() {
    return AuthView::create(AuthView::Dependencies{
        store_, time_, announcer_, webAuth_, windows_, [this](const std::string& key) {
          auto found = translations_.find(key);
          return found == translations_.end() ? key : found->second;
        }});
  }

  void settle() { queue_.runUntilIdle(); }
  // Runs a view operation as the widgets do, to its end.
  void runOperation(AuthView::Operation operation) {
    view_->run(operation);
    settle();
  }

  ManualMainQueue queue_;
  MainQueue::Installation installation_{queue_};
  ManualTime time_;
  std::shared_ptr<FakeAuthStore> store_ = std::make_shared<FakeAuthStore>();
  RecordingAnnouncer announcer_;
  FakeWebAuth webAuth_;
  FakeWindows windows_;
  std::map<std::string, std::string> translations_;
  std::shared_ptr<AuthView> view_ = makeView();
};

}  // namespace orlith::testing
