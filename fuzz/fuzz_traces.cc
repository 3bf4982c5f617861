// The text trace readers (candump, ASC, TRC) on arbitrary text: every frame they give is well
// formed (its length within its kind's, its identifier within its bits), every line they skip is
// counted, a strict read refuses exactly when a lenient one skips, and what they read, written
// again, reads back the same.
#include <string>
#include <string_view>

#include "formats/file_error.h"
#include "fuzz/fuzz_check.h"
#include "traces/trace_reader.h"
#include "traces/trace_writer.h"

using namespace ombrix;
using namespace ombrix::traces;

namespace {

bool SameFrame(const Frame& a, const Frame& b) {
  return a.Id == b.Id && a.Extended == b.Extended && a.Flags == b.Flags && a.Length == b.Length &&
         std::equal(a.Bytes().begin(), a.Bytes().end(), b.Bytes().begin(), b.Bytes().end());
}

void Check(const std::string& text, TraceFormat format) {
  auto reader = ReadTraceText(text, format);
  std::string written;
  const auto writer =
      MakeTraceWriter(TraceFormat::Candump, [&](std::string_view piece) { written += piece; });
  std::vector<Frame> frames;
  Frame frame;
  while (reader->Next(frame)) {
    FUZZ_CHECK(frame.Length <= (frame.Has(kFd) ? 64 : 8) || frame.Has(kRemote));
    FUZZ_CHECK(frame.Id <= (frame.Extended ? 0x1FFFFFFFu : 0x7FFu) || frame.Has(kError));
    FUZZ_CHECK(frame.Channel < reader->Channels().size());
    FUZZ_CHECK(!(frame.Has(kFd) && frame.Has(kRemote)));  // CAN FD has no remote frames
    if (frames.size() < 256) {
      frames.push_back(frame);
      writer->Write(frame, reader->Channels());
    }
  }
  writer->Finish();
  bool refused = false;
  try {
    auto strict = ReadTraceText(text, format, {true});
    while (strict->Next(frame)) {
    }
  } catch (const formats::FileError& error) {
    refused = true;
    FUZZ_CHECK(error.Line() >= 1);
  }
  FUZZ_CHECK(refused == (reader->SkippedCount() > 0));
  // Frames of an error class beyond candump's bits do not survive the trip.
  auto again = ReadTraceText(written, TraceFormat::Candump, {true});
  for (const Frame& before : frames) {
    FUZZ_CHECK(again->Next(frame));
    if (!before.Has(kError)) FUZZ_CHECK(SameFrame(before, frame));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  constexpr TraceFormat kFormats[] = {TraceFormat::Candump, TraceFormat::Asc, TraceFormat::Trc};
  Check(text, kFormats[data[0] % 3]);
  return 0;
}
