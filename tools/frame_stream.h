// The program's trace reading on a thread of its own: frames come in
// batches while the caller decodes and writes the ones before, so that
// reading and formatting each take a core. Work on a batch (formatting it)
// goes to the reading thread whenever the caller falls behind, so that
// neither core waits for the other.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "traces/trace_reader.h"

namespace ombrix::cli {

/// Frames read ahead, with the channel names they refer to.
struct FrameBatch {
  std::vector<traces::Frame> frames;
  std::shared_ptr<const std::vector<std::string>> channels;
  uint64_t read = 0;  ///< bytes of the trace read so far
  uint64_t size = 0;  ///< the trace's size, 0 when unknown
  std::string text;   ///< what the work made of the frames
};

/// Work on a batch, done on either thread: it may only read what it shares.
using BatchWork = std::function<void(FrameBatch&)>;

/// Reads a trace on a thread of its own, a few batches ahead.
class FrameStream {
 public:
  /// Reads with `reader`; `work`, when given, is done on every batch
  /// before Next hands it out.
  explicit FrameStream(std::unique_ptr<traces::TraceReader> reader, BatchWork work = {});
  FrameStream(const FrameStream&) = delete;
  FrameStream& operator=(const FrameStream&) = delete;
  ~FrameStream();

  /// The next batch into `batch`; false at the end. What the reader threw
  /// is thrown here.
  bool Next(FrameBatch& batch);
  /// The reader, for what it skipped; only once Next has returned false.
  const traces::TraceReader& Reader() const noexcept { return *reader_; }

 private:
  void Read();

  std::unique_ptr<traces::TraceReader> reader_;
  const BatchWork work_;
  std::mutex mutex_;
  std::condition_variable changed_;
  // Batches read, each with whether its work is done.
  std::deque<std::pair<FrameBatch, bool>> ready_;
  std::vector<FrameBatch> spare_;
  bool done_ = false;
  bool stop_ = false;
  std::exception_ptr failure_;
  std::thread thread_;
};

}  // namespace ombrix::cli
