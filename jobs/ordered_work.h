#pragma once
// Work on numbered items spread over several threads, with the results
// taken up in order on the calling thread. The jobs use it so that every
// core decodes while the window sees exactly the calls one thread would
// make: results are committed strictly in item order, and a stop or an end
// seen at an item leaves the items after it uncommitted, as if never
// started. The item the calling thread has turned to is made and committed
// even when a stop comes after that: a stop ends the work between items.
//
// At most `2 * threads * batch` items are ahead of the next one to commit,
// so what the results hold is bounded by that many, whatever the number of
// items. Threads wake each other only when one has to: the calling thread
// when the item it waits for is made (with `batch` > 1, once that many in a
// row are), a worker when there is room again for the item it would take.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace kowaki {

template <typename Result>
struct OrderedWork {
  int32_t count = 0;
  int32_t threads = 1;  // 1: everything on the calling thread, one item after another
  // Results the calling thread is woken for at once. More than one for
  // many small items, where a wake costs more than an item (under Wine each
  // is a round trip to its server); it delays commits by that many items.
  int32_t batch = 1;
  // Asked before each item is taken up and before each is committed; false
  // stops the work there. Any thread.
  std::function<bool()> keep_going = [] { return true; };
  // The calling thread turns to item i, the oldest not yet committed: with
  // one thread before making it, with several before waiting for it.
  std::function<void(int32_t)> take_up = [](int32_t) {};
  // Makes item i's result. Any thread, several at once.
  std::function<Result(int32_t)> work;
  // Takes up item i's result, in order, on the calling thread; false ends
  // the work after it.
  std::function<bool(int32_t, Result&)> commit;
  // A result that will never be committed, on the calling thread.
  std::function<void(Result&)> discard = [](Result&) {};
};

namespace ordered_work_detail {

template <typename Result>
class Runner {
 public:
  explicit Runner(OrderedWork<Result>& work)
      : work_(work),
        batch_(work.batch > 1 ? work.batch : 1),
        ahead_(2 * static_cast<size_t>(work.threads) * static_cast<size_t>(batch_)),
        results_(ahead_),
        states_(ahead_, kWaiting) {}

  // False when no thread could be started: nothing was done then.
  bool Run() {
    std::vector<std::thread> threads;
    for (int32_t t = 0; t < work_.threads; ++t) {
      try {
        threads.emplace_back([this] { TakeItems(); });
      } catch (const std::system_error&) {
        break;
      }
    }
    if (threads.empty()) return false;
    CommitInOrder();
    Stop();
    for (std::thread& thread : threads) thread.join();
    for (size_t slot = 0; slot < ahead_; ++slot) {
      if (states_[slot] == kReady) work_.discard(*results_[slot]);
    }
    return true;
  }

 private:
  enum State : uint8_t { kWaiting, kReady, kAbandoned };

  void TakeItems() {
    for (;;) {
      std::unique_lock lock(mutex_);
      if (!HasRoomOrEnd()) {
        ++waiting_for_room_;
        room_.wait(lock, [this] { return HasRoomOrEnd(); });
        --waiting_for_room_;
      }
      if (stop_ || next_ >= work_.count) return;
      const int32_t item = next_++;
      const bool go = item <= taken_up_ || work_.keep_going();
      lock.unlock();
      std::optional<Result> result;
      if (go) result.emplace(work_.work(item));
      lock.lock();
      states_[Slot(item)] = result ? kReady : kAbandoned;
      results_[Slot(item)] = std::move(result);
      if (CommitterNeedsWaking(go)) ready_.notify_one();
    }
  }

  bool HasRoomOrEnd() const {
    return stop_ || next_ >= work_.count || static_cast<size_t>(next_ - committed_) < ahead_;
  }

  // Whether the calling thread, waiting, has enough to go on: the item it
  // waits for and the batch after it, or all there will be soon (the last
  // items taken, no room for more, or an item given up).
  bool CommitterNeedsWaking(bool made) const {
    if (awaiting_ < 0 || states_[Slot(awaiting_)] == kWaiting) return false;
    if (!made || next_ >= work_.count || static_cast<size_t>(next_ - committed_) >= ahead_) {
      return true;
    }
    int32_t run = 1;
    while (run < batch_ && awaiting_ + run < next_ && states_[Slot(awaiting_ + run)] != kWaiting) {
      ++run;
    }
    return run >= batch_;
  }

  void CommitInOrder() {
    for (int32_t item = 0; item < work_.count; ++item) {
      if (!work_.keep_going()) return;
      {
        std::lock_guard lock(mutex_);
        taken_up_ = item;
      }
      work_.take_up(item);
      std::optional<Result> result = Await(item);
      if (!result || !work_.commit(item, *result)) return;
      std::lock_guard lock(mutex_);
      committed_ = item + 1;
      if (waiting_for_room_ > 0) room_.notify_all();
    }
  }

  // The item's result once made; none when it was given up.
  std::optional<Result> Await(int32_t item) {
    const size_t slot = Slot(item);
    std::unique_lock lock(mutex_);
    if (states_[slot] == kWaiting) {
      awaiting_ = item;
      ready_.wait(lock, [&] { return states_[slot] != kWaiting; });
      awaiting_ = -1;
    }
    if (states_[slot] == kAbandoned) return std::nullopt;
    std::optional<Result> result = std::move(results_[slot]);
    results_[slot].reset();
    states_[slot] = kWaiting;
    return result;
  }

  void Stop() {
    std::lock_guard lock(mutex_);
    stop_ = true;
    room_.notify_all();
  }

  size_t Slot(int32_t item) const { return static_cast<size_t>(item) % ahead_; }

  OrderedWork<Result>& work_;
  const int32_t batch_;
  const size_t ahead_;
  std::mutex mutex_;
  std::condition_variable ready_;               // the calling thread waits for its item
  std::condition_variable room_;                // workers wait for room ahead
  std::vector<std::optional<Result>> results_;  // by item modulo `ahead_`
  std::vector<State> states_;
  int32_t next_ = 0;       // the next item to take up
  int32_t committed_ = 0;  // items committed
  int32_t taken_up_ = -1;  // the item the calling thread turned to last: made whatever comes
  int32_t awaiting_ = -1;  // the item the calling thread waits for, if it waits
  int32_t waiting_for_room_ = 0;
  bool stop_ = false;
};

}  // namespace ordered_work_detail

template <typename Result>
void RunOrdered(OrderedWork<Result>& work) {
  if (work.threads > 1 && work.count > 1) {
    ordered_work_detail::Runner<Result> runner(work);
    if (runner.Run()) return;
  }
  for (int32_t item = 0; item < work.count; ++item) {
    if (!work.keep_going()) return;
    work.take_up(item);
    Result result = work.work(item);
    if (!work.commit(item, result)) return;
  }
}

}  // namespace kowaki
