// Makes every installer call answer exactly once: the first answer is sent, later ones are
// dropped, and a call whose last guard goes unanswered replies Reply::unanswered().
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace orlith {

template <typename Reply>
class UpdateReplySlot {
 public:
  using Send = std::function<void(const Reply&)>;

  explicit UpdateReplySlot(Send send) : send_(std::move(send)) {}
  UpdateReplySlot(const UpdateReplySlot&) = delete;
  UpdateReplySlot& operator=(const UpdateReplySlot&) = delete;
  ~UpdateReplySlot() {
    try {
      answer(Reply::unanswered());
    } catch (...) {
      // A destructor cannot report; the peer sees the connection end instead.
    }
  }

  // True when this was the first answer.
  bool answer(const Reply& reply) {
    Send send;
    {
      const std::lock_guard lock(mutex_);
      send = std::exchange(send_, nullptr);
    }
    if (!send) {
      return false;
    }
    send(reply);
    return true;
  }

 private:
  std::mutex mutex_;
  Send send_;
};

template <typename Reply>
class UpdateReplyGuard {
 public:
  explicit UpdateReplyGuard(std::shared_ptr<UpdateReplySlot<Reply>> slot)
      : slot_(std::move(slot)) {}
  explicit UpdateReplyGuard(typename UpdateReplySlot<Reply>::Send send)
      : slot_(std::make_shared<UpdateReplySlot<Reply>>(std::move(send))) {}

  void operator()(const Reply& reply) const {
    if (slot_) {
      slot_->answer(reply);
    }
  }

 private:
  std::shared_ptr<UpdateReplySlot<Reply>> slot_;
};

}  // namespace orlith
