#include "tools/frame_stream.h"

namespace ombrix::cli {
namespace {

constexpr size_t kBatch = 4096;
constexpr size_t kAhead = 4;
// The reading thread does a batch's work itself when this many wait.
constexpr size_t kBehind = 2;

}  // namespace

FrameStream::FrameStream(std::unique_ptr<traces::TraceReader> reader, BatchWork work)
    : reader_(std::move(reader)), work_(std::move(work)), thread_([this] { Read(); }) {}

FrameStream::~FrameStream() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void FrameStream::Read() {
  try {
    std::shared_ptr<const std::vector<std::string>> channels =
        std::make_shared<const std::vector<std::string>>();
    for (;;) {
      FrameBatch batch;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || ready_.size() < kAhead; });
        if (stop_) return;
        if (!spare_.empty()) {
          batch = std::move(spare_.back());
          spare_.pop_back();
        }
      }
      batch.frames.resize(kBatch);
      size_t count = 0;
      while (count < kBatch && reader_->Next(batch.frames[count])) ++count;
      batch.frames.resize(count);
      if (channels->size() != reader_->Channels().size()) {
        channels = std::make_shared<const std::vector<std::string>>(reader_->Channels());
      }
      batch.channels = channels;
      std::tie(batch.read, batch.size) = reader_->Progress();
      bool worked = false;
      if (work_ && count > 0) {
        {
          const std::lock_guard lock(mutex_);
          worked = ready_.size() >= kBehind;
        }
        if (worked) work_(batch);
      }
      {
        const std::lock_guard lock(mutex_);
        if (count > 0) ready_.emplace_back(std::move(batch), worked);
        if (count < kBatch) done_ = true;
      }
      changed_.notify_all();
      if (count < kBatch) return;
    }
  } catch (...) {
    {
      const std::lock_guard lock(mutex_);
      failure_ = std::current_exception();
      done_ = true;
    }
    changed_.notify_all();
  }
}

bool FrameStream::Next(FrameBatch& batch) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return !ready_.empty() || done_; });
  if (!batch.frames.empty() && spare_.size() < kAhead) spare_.push_back(std::move(batch));
  if (!ready_.empty()) {
    batch = std::move(ready_.front().first);
    const bool worked = ready_.front().second;
    ready_.pop_front();
    lock.unlock();
    changed_.notify_all();
    if (work_ && !worked) work_(batch);
    return true;
  }
  if (failure_) std::rethrow_exception(failure_);
  return false;
}

}  // namespace ombrix::cli
