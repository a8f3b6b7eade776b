// A value or the reason there is none: what every reader and conversion below
// the run returns for an expected failure. Exceptions are kept for the
// failures that stop a run (core/errors.h).
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace tarvik {

/// The reason of a failed Result, wrapped so that a Result<std::string>
/// can tell it from a value.
template <class E = std::string>
struct Failure {
  E reason;
};

/// A failure with a reason text, which names what and where.
inline Failure<> Fail(std::string reason) {
  return {std::move(reason)};
}

/// Holds either a value of type T or a reason of type E (a text unless said).
template <class T, class E = std::string>
class Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Failure<E> failure) : state_(std::in_place_index<1>, std::move(failure.reason)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  /// The value; only when ok().
  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  /// The value, or `fallback` after a failure.
  T value_or(T fallback) const& { return ok() ? value() : std::move(fallback); }

  /// The reason; only when !ok().
  const E& reason() const { return std::get<1>(state_); }

 private:
  std::variant<T, E> state_;
};

/// Nothing on success, or the reason of the failure.
struct Done {};
template <class E = std::string>
using Status = Result<Done, E>;

}  // namespace tarvik
