// Hexadecimal digits for raw bytes and back, exactly as ByteArray::Text
// writes and reads them, for callers that hold bytes outside an array.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ombrix {

/// Writes 2 * count upper-case hexadecimal digits for the bytes to out.
void EncodeHex(const uint8_t* bytes, size_t count, char* out) noexcept;

/// Decodes pairs of hexadecimal digits (either case) from text into out, in
/// order, stopping at the first pair that is not two digits; returns the
/// number of bytes written (pairs when every pair is good).
size_t DecodeHex(const char* text, size_t pairs, uint8_t* out) noexcept;

}  // namespace ombrix
