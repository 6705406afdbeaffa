#pragma once
// What a result says went wrong, for a test to compare or show:
// EXPECT_EQ(test::Why(out.Commit()), "") prints the words when it fails.

#include <string>

#include "common/result.h"

namespace kowaki::test {

template <class T>
std::string Why(const Result<T>& result) {
  return result ? std::string() : result.failure().text;
}

}  // namespace kowaki::test
