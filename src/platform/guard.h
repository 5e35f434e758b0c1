// The product's error rule: every step is guarded, nothing is logged and no
// error is shown. Guarded runs one step and swallows whatever it throws.
#pragma once

#include <utility>

namespace sentrova {

// Runs `step`; returns false when it threw (the exception is dropped).
template <class Step>
bool Guarded(Step&& step) noexcept {
  try {
    std::forward<Step>(step)();
    return true;
  } catch (...) {
    return false;
  }
}

// Runs `step` and returns its result, or `fallback` when it threw.
template <class T, class Step>
T GuardedOr(T fallback, Step&& step) noexcept {
  try {
    return std::forward<Step>(step)();
  } catch (...) {
    return fallback;
  }
}

}  // namespace sentrova
