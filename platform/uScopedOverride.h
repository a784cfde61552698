// The one pattern behind every seam (clock, message boxes, save-file
// dialog, shell, printer): a slot that normally holds the real thing, which
// a test's guard replaces for as long as the guard lives. Guards nest, so
// the innermost one is in force, and each puts back exactly what it found.
// Seams are used from one thread only, as the windows are.
#pragma once

#include <utility>

namespace kadrel {

template <typename T>
class TScopedOverride {
 public:
  TScopedOverride(T& slot, T value) : slot_(slot), previous_(std::exchange(slot, std::move(value))) {}
  ~TScopedOverride() { slot_ = std::move(previous_); }
  TScopedOverride(const TScopedOverride&) = delete;
  TScopedOverride& operator=(const TScopedOverride&) = delete;

 private:
  T& slot_;
  T previous_;
};

}  // namespace kadrel
