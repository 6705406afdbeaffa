// Work spread over threads and committed in order: the order, the bound
// on results held, stops, and that every result made is either committed
// or discarded once.

#include "jobs/ordered_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>

namespace kowaki {
namespace {

// Results that count themselves while they are held.
class Tally {
 public:
  struct Result {
    int32_t item = -1;
  };

  OrderedWork<Result> Work(int32_t count, int32_t threads) {
    OrderedWork<Result> work;
    work.count = count;
    work.threads = threads;
    work.work = [this](int32_t item) {
      std::this_thread::sleep_for(std::chrono::microseconds(Jitter(item)));
      const int32_t held = ++held_;
      for (int32_t most = most_held_;
           held > most && !most_held_.compare_exchange_weak(most, held);) {
      }
      ++made_;
      return Result{item};
    };
    work.commit = [this](int32_t item, Result& result) {
      EXPECT_EQ(result.item, item);
      committed_.push_back(item);
      --held_;
      return true;
    };
    work.discard = [this](Result&) {
      --held_;
      ++discarded_;
    };
    return work;
  }

  std::vector<int32_t> committed_;
  std::atomic<int32_t> made_{0};
  std::atomic<int32_t> held_{0};
  std::atomic<int32_t> most_held_{0};
  int32_t discarded_ = 0;

 private:
  static int Jitter(int32_t item) { return static_cast<int>((item * 7919) % 300); }
};

std::vector<int32_t> Range(int32_t count) {
  std::vector<int32_t> items(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) items[static_cast<size_t>(i)] = i;
  return items;
}

// Woken for batches of results or for each, the calling thread commits
// every item in order, however the items' times fall.
TEST(OrderedWorkTest, CommitsInItemOrderHoldingAtMostTwiceTheThreadsBatchesAhead) {
  for (int32_t batch : {1, 8}) {
    for (int32_t threads : {1, 2, 4}) {
      Tally tally;
      OrderedWork<Tally::Result> work = tally.Work(200, threads);
      work.batch = batch;
      RunOrdered(work);
      EXPECT_EQ(tally.committed_, Range(200)) << threads << " " << batch;
      EXPECT_LE(tally.most_held_.load(), 2 * threads * batch + 1) << threads << " " << batch;
      EXPECT_EQ(tally.held_.load(), 0);
    }
  }
}

// A stop ends the work between items: pressed while item 40 is committed,
// or once the calling thread turned to it (the oldest not committed, made
// and committed whatever comes after), nothing after it is committed and
// what was made beyond it is discarded, wherever the threads are.
TEST(OrderedWorkTest, AStopCommitsNothingMoreAndDiscardsWhatWasMade) {
  for (const bool at_take_up : {false, true}) {
    for (int32_t threads : {1, 3}) {
      Tally tally;
      OrderedWork<Tally::Result> work = tally.Work(100, threads);
      work.batch = threads;
      std::atomic<bool> running{true};
      work.keep_going = [&] { return running.load(); };
      std::vector<int32_t> taken;
      work.take_up = [&](int32_t item) {
        EXPECT_EQ(tally.committed_.size(), static_cast<size_t>(item));
        taken.push_back(item);
        if (at_take_up && item == 40) running = false;  // the stop button, under item 40's title
      };
      auto commit = work.commit;
      work.commit = [&](int32_t item, Tally::Result& result) {
        if (!at_take_up && item == 40) running = false;
        return commit(item, result);
      };
      RunOrdered(work);
      EXPECT_EQ(taken, Range(41)) << threads << at_take_up;
      EXPECT_EQ(tally.committed_, Range(41)) << threads << at_take_up;
      EXPECT_EQ(tally.made_.load(), 41 + tally.discarded_) << threads << at_take_up;
      EXPECT_EQ(tally.held_.load(), 0) << threads << at_take_up;
    }
  }
}

TEST(OrderedWorkTest, ACommitThatEndsTheWorkIsTheLast) {
  Tally tally;
  OrderedWork<Tally::Result> work = tally.Work(100, 4);
  auto commit = work.commit;
  work.commit = [&](int32_t item, Tally::Result& result) {
    return commit(item, result) && item < 9;
  };
  RunOrdered(work);
  EXPECT_EQ(tally.committed_, Range(10));
  EXPECT_EQ(tally.made_.load(), 10 + tally.discarded_);
  EXPECT_EQ(tally.held_.load(), 0);
}

}  // namespace
}  // namespace kowaki
