// Whole-file reads, and writes that never destroy what they replace.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ombrix::formats {

/// Receives a file's text piece by piece.
using TextSink = std::function<void(std::string_view)>;

/// The file's contents; FileError when it cannot be read.
std::string ReadFile(const std::string& path);

/// Writes `contents` to the file at `path`; FileError when it cannot.
/// - A regular file (or a new one) is replaced only once the whole text is
///   on disk: it goes to a temporary file beside it, which then takes its
///   name, with the replaced file's mode and owner.
/// - A symbolic link is followed: its target is replaced, the link stays.
/// - A device or FIFO is written directly, never replaced.
/// - On any failure, and when SIGINT, SIGTERM, SIGHUP or SIGQUIT arrives
///   during the write, the temporary file goes, the old file stays as it
///   was, and FileError says why (the signal is taken). Reaching the file
///   size limit is a failure like a full disk, not a signal.
/// - Signals: those four are blocked in the calling thread alone while it
///   writes (its mask is restored after); no handler, disposition or other
///   process-wide state changes, so other threads may write their own
///   files at the same time. The temporary file has no name until it
///   replaces the old one (where the file system allows it), so a signal
///   that ends the program, whichever, leaves nothing behind.
void WriteFileSafely(const std::string& path, std::string_view contents);
/// The same for a text made piece by piece: `produce` hands each piece to
/// the sink it is given, and may throw to abandon the write.
void WriteFileSafely(const std::string& path, const std::function<void(const TextSink&)>& produce);

}  // namespace ombrix::formats
