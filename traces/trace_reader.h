// Reading bus traces one frame at a time: memory stays the same whatever
// the trace's length. Text formats read from a file or standard input ("-").
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "traces/trace_frame.h"

namespace ombrix::traces {

/// The trace formats.
enum class TraceFormat {
  Candump,  ///< candump -l's log: "(1700000000.123456) can0 123#DEADBEEF"
  Asc,      ///< Vector ASC text
  Blf,      ///< Vector BLF, binary, its containers stored or deflated (read only)
  Trc,      ///< PEAK TRC text, versions 1.0 to 2.1 (read only)
};

/// How a reader treats lines it cannot read.
struct ReadOptions {
  /// Refuse the trace at the first bad line (formats::FileError naming it)
  /// instead of skipping it.
  bool Strict = false;
};

/// A line that was skipped, and why.
struct SkippedLine {
  uint64_t Line;        ///< its number, from 1
  std::string Message;  ///< what is wrong with it
};

/// A trace being read.
class TraceReader {
 public:
  virtual ~TraceReader() = default;
  /// The next frame into `frame`; false at the end. formats::FileError
  /// when the file cannot be read, or for a bad line when Strict.
  virtual bool Next(Frame& frame) = 0;
  /// The channels' names, by Frame::Channel.
  const std::vector<std::string>& Channels() const noexcept { return channels_; }
  /// How many lines were skipped as unreadable.
  uint64_t SkippedCount() const noexcept { return skipped_count_; }
  /// The first of them (at most 20), with their reasons.
  const std::vector<SkippedLine>& Skipped() const noexcept { return skipped_; }
  /// Lines or objects that hold no frame and were passed over (comments,
  /// events, statistics).
  uint64_t OtherCount() const noexcept { return other_count_; }
  /// The bytes read so far and the file's size (0 when unknown), for progress.
  virtual std::pair<uint64_t, uint64_t> Progress() const noexcept = 0;

 protected:
  /// The index of the channel named `name`, added when new.
  uint16_t ChannelIndex(std::string_view name);
  /// Notes a skipped line.
  void Skip(uint64_t line, std::string message);
  /// Counts a line that holds no frame.
  void PassOver() noexcept { ++other_count_; }

 private:
  std::vector<std::string> channels_;
  std::vector<SkippedLine> skipped_;
  uint64_t skipped_count_ = 0;
  uint64_t other_count_ = 0;
};

/// The format a file's name says (".log" candump, ".asc", ".blf", ".trc"), or none.
std::optional<TraceFormat> FormatOfName(const std::string& path);
/// A reader of the trace at `path` ("-" standard input) in `format`, or in
/// the format its name or first bytes show; formats::FileError when it
/// cannot be opened or its format is unknown.
std::unique_ptr<TraceReader> OpenTrace(const std::string& path,
                                       std::optional<TraceFormat> format = std::nullopt,
                                       const ReadOptions& options = {});
/// A reader of what `stream` gives (standard input, a pipe), named `name`
/// in errors, in `format` or the one its first line shows; text formats only.
std::unique_ptr<TraceReader> ReadTrace(std::istream& stream, const std::string& name,
                                       std::optional<TraceFormat> format = std::nullopt,
                                       const ReadOptions& options = {});
/// A reader of `text`, named `name` in errors.
std::unique_ptr<TraceReader> ReadTraceText(std::string text, TraceFormat format,
                                           const ReadOptions& options = {},
                                           const std::string& name = "text");

}  // namespace ombrix::traces
