// Internal: conversion of the library's UTF-8 texts to the single-byte code
// page in which a text becomes bytes.
#pragma once

#include <string>
#include <string_view>

namespace ombrix::detail {

/// The text in code page 1252, one byte per UTF-16 code unit of the text:
/// characters the code page lacks, invalid UTF-8 bytes, and each half of a
/// character beyond U+FFFF become '?'.
std::string ToCodePage1252(std::string_view utf8);

/// True when every byte of the text is below 0x80.
bool IsAscii(std::string_view text) noexcept;

}  // namespace ombrix::detail
