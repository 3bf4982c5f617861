// Writing bus traces as candump logs or Vector ASC, frame by frame, to any
// sink of text (a file written safely, standard output).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "traces/trace_frame.h"
#include "traces/trace_reader.h"

namespace ombrix::traces {

/// Receives the written text piece by piece.
using TraceSink = std::function<void(std::string_view)>;

/// A trace being written.
class TraceWriter {
 public:
  virtual ~TraceWriter() = default;
  /// Writes `frame`, its channel named by `channels` (the reader's).
  virtual void Write(const Frame& frame, const std::vector<std::string>& channels) = 0;
  /// Writes what ends the trace and hands the rest of the text to the sink.
  virtual void Finish() = 0;
};

/// A writer of `format` to `sink` (candump or ASC; null for BLF and TRC, which are read only).
/// Channels: candump names them as given, and an ASC channel number N as "can" N-1; ASC numbers
/// "canN" as N+1, a number as itself, and other names 1, 2, ... as they first come. ASC times count
/// from the first frame, whose date heads the file.
std::unique_ptr<TraceWriter> MakeTraceWriter(TraceFormat format, TraceSink sink);

}  // namespace ombrix::traces
