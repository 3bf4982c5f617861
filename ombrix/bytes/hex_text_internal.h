// Internal: hexadecimal encoding and decoding behind ByteArray::Text, each
// fast routine beside the plain table loop that defines its result.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ombrix::detail {

/// Writes 2 * count upper-case hexadecimal digits for the bytes to out.
void EncodeHex(const uint8_t* bytes, size_t count, char* out) noexcept;
void EncodeHexReference(const uint8_t* bytes, size_t count, char* out) noexcept;

/// Decodes pairs of hexadecimal digits (either case) from text into out, in
/// order, and stops at the first pair that is not two digits. Returns the
/// number of bytes written: pairs when every pair is good.
size_t DecodeHex(const char* text, size_t pairs, uint8_t* out) noexcept;
size_t DecodeHexReference(const char* text, size_t pairs, uint8_t* out) noexcept;

}  // namespace ombrix::detail
