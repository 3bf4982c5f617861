// The BLF reader on arbitrary bytes (given as a file in memory): it reads
// well-formed frames or refuses the file with a FileError, never more.
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "formats/file_error.h"
#include "fuzz/fuzz_check.h"
#include "traces/trace_reader.h"

using namespace ombrix;
using namespace ombrix::traces;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int file = memfd_create("fuzz.blf", MFD_CLOEXEC);
  if (file < 0) return 0;
  for (size_t done = 0; done < size;) {
    const ssize_t wrote = write(file, data + done, size - done);
    if (wrote <= 0) break;
    done += static_cast<size_t>(wrote);
  }
  try {
    auto reader = OpenTrace("/proc/self/fd/" + std::to_string(file), TraceFormat::Blf);
    Frame frame;
    while (reader->Next(frame)) {
      FUZZ_CHECK(frame.Length <= 64);
      FUZZ_CHECK(frame.Id <= (frame.Extended ? 0x1FFFFFFFu : 0x7FFu));
      FUZZ_CHECK(frame.Channel < reader->Channels().size());
      FUZZ_CHECK(!(frame.Has(kFd) && frame.Has(kRemote)));
    }
  } catch (const formats::FileError&) {
  }
  close(file);
  return 0;
}
