// Whole-file reads, and writes that replace a file atomically: the text
// goes to a temporary file beside the target, which is then renamed over
// it, so a failed write never leaves a broken file.
#pragma once

#include <string>
#include <string_view>

namespace ombrix::formats {

/// The file's contents; FileError when it cannot be read.
std::string ReadFile(const std::string& path);
/// Replaces (or creates) the file with `contents`; FileError when it cannot.
void WriteFileAtomically(const std::string& path, std::string_view contents);

}  // namespace ombrix::formats
