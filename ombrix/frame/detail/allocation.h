// Allocations that may fail on huge inputs: a failure becomes error 7, never
// an escaping std::bad_alloc, so the caller's object stays as it was.
#pragma once

#include <new>
#include <stdexcept>

#include "ombrix/frame/error.h"

namespace ombrix::detail {

/// Runs `allocate`; a failed allocation in it (std::bad_alloc, or a size
/// past what a container holds) raises error 7.
template <typename Allocate>
decltype(auto) OrOutOfMemory(Allocate&& allocate) {
  try {
    return allocate();
  } catch (const std::bad_alloc&) {
    Raise(errors::kOutOfMemory);
  } catch (const std::length_error&) {
    Raise(errors::kOutOfMemory);
  }
}

}  // namespace ombrix::detail
