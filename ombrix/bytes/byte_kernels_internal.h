// Internal: the byte loops behind Sum and Skip, each fast routine beside the
// plain loop that defines its result (tests compare the two).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ombrix::detail {

/// Sum of count bytes modulo 2^32.
uint32_t SumBytes(const uint8_t* data, size_t count) noexcept;
uint32_t SumBytesReference(const uint8_t* data, size_t count) noexcept;

/// Length of the run of bytes equal to pattern at the start of data.
size_t CountEqual(const uint8_t* data, size_t count, uint8_t pattern) noexcept;
size_t CountEqualReference(const uint8_t* data, size_t count, uint8_t pattern) noexcept;

}  // namespace ombrix::detail
