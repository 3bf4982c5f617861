// The DBC reader on arbitrary text: it reads a database or refuses the text
// with a FileError naming a line and a column. What it reads is checked for
// problems, and every message decodes a frame made of the same bytes, each
// signal as the bit-by-bit loop reads it.
#include <span>
#include <string_view>

#include "formats/dbc/dbc_file.h"
#include "formats/file_error.h"
#include "fuzz/fuzz_check.h"
#include "ombrix/signals/message_codec.h"
#include "ombrix/signals/signal_layout.h"

using namespace ombrix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const signals::SignalDatabase database = formats::ParseDbc(text, "fuzz.dbc");
    (void)signals::Problems(database);
    const std::span<const uint8_t> frame(data, std::min<size_t>(size, 64));
    for (const signals::Message& message : database.Messages) {
      const signals::MessageCodec codec(message);
      for (const signals::DecodedSignal& decoded : codec.Decode(frame)) {
        FUZZ_CHECK(signals::ReadBitsReference(*decoded.Definition, frame) == decoded.Bits);
      }
    }
  } catch (const formats::FileError& error) {
    FUZZ_CHECK(error.Line() >= 1);
    FUZZ_CHECK(std::string_view(error.Message()).substr(0, 7) == "column ");
  }
  return 0;
}
