// What a throwing call says.
#pragma once

#include <string>

namespace tarvik::testing {

/// The message of the `Error` that `action` throws; "nothing thrown" when it
/// returns.
template <typename Error, typename Action>
std::string ErrorText(Action action) {
  try {
    action();
  } catch (const Error& error) {
    return error.what();
  }
  return "nothing thrown";
}

}  // namespace tarvik::testing
