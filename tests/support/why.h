#pragma once
// What a result says went wrong, for a test to compare or show:
// EXPECT_EQ(test::Why(out.Commit()), "") prints the words when it fails,
// EXPECT_EQ(test::FailureOf(stage.put(span)), PcmError::kEnded) the kind.

#include <optional>
#include <string>

#include "common/result.h"

namespace kowaki::test {

template <class T>
std::string Why(const Result<T>& result) {
  return result ? std::string() : result.failure().text;
}

template <class T, class E>
std::optional<E> FailureOf(const Result<T, E>& result) {
  if (result) return std::nullopt;
  return result.failure();
}

}  // namespace kowaki::test
