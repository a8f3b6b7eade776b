// Work split in two: one part on a second thread while the caller does the
// other. The parts must not touch the same data.
#pragma once

#include <exception>
#include <optional>
#include <system_error>
#include <thread>

namespace tarvik {

/// Runs `other` on a second thread and `own` on this one, and returns when
/// both are done. On a single-core machine, or when no thread can be
/// started, both run here, `own` first. An exception of `own` is rethrown
/// once `other` is done; otherwise one of `other` is.
template <typename Other, typename Own>
void RunBoth(Other&& other, Own&& own) {
  static const unsigned cores = std::thread::hardware_concurrency();  // asks the system
  if (cores < 2) {
    own();
    other();
    return;
  }
  std::exception_ptr otherFailure;
  std::optional<std::jthread> thread;
  try {
    thread.emplace([&] {
      try {
        other();
      } catch (...) {
        otherFailure = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    own();
    other();
    return;
  }
  own();  // a throw leaves through the thread's destructor, which waits for it
  thread->join();
  if (otherFailure) std::rethrow_exception(otherFailure);
}

}  // namespace tarvik
