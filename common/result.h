#pragma once
// The one way a function that can fail says so. A Result holds what the
// function made, or the Failure that kept it from making it; Result<> is
// for a function that makes nothing. Shaped after std::expected: test it
// as a bool, take the value with * or ->, the failure with failure(), or
// the value with a stand-in for a failure with value_or().
// A function whose failures callers tell apart by kind gives an enum as E.

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace kowaki {

// What went wrong: the words for the user, in the language the face chose,
// and the system's error number behind them (errno; on Windows the
// GetLastError code), 0 when the system gave none.
struct Failure {
  std::string text;
  int system_error = 0;
};

template <class T = void, class E = Failure>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(E failure) : state_(std::in_place_index<1>, std::move(failure)) {}

  explicit operator bool() const { return state_.index() == 0; }
  T& operator*() { return std::get<0>(state_); }
  const T& operator*() const { return std::get<0>(state_); }
  T* operator->() { return &std::get<0>(state_); }
  const T* operator->() const { return &std::get<0>(state_); }
  const E& failure() const { return std::get<1>(state_); }

  template <class U>
  T value_or(U&& other) const& {
    return *this ? **this : static_cast<T>(std::forward<U>(other));
  }
  // Moves the value out: an owning handle's failure can stand as null.
  template <class U>
  T value_or(U&& other) && {
    return *this ? std::move(**this) : static_cast<T>(std::forward<U>(other));
  }

 private:
  std::variant<T, E> state_;
};

template <class E>
class [[nodiscard]] Result<void, E> {
 public:
  Result() = default;
  Result(E failure) : failure_(std::move(failure)) {}

  explicit operator bool() const { return !failure_; }
  const E& failure() const { return *failure_; }

 private:
  std::optional<E> failure_;
};

}  // namespace kowaki
