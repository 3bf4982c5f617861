// A payload too long for one bus frame: split into 8-byte frames, each a
// sequence number and up to 7 bytes, read through live views on the
// payload rather than copied out; then reassembled on the other side by
// appending each frame's data to the end of a growing array.
#include <algorithm>
#include <iostream>

#include "ombrix/ombrix.h"

using namespace ombrix;

int main() try {
  // 98 bytes of data and their two check bytes: 100 bytes to send.
  auto payload = ByteArray::New();
  payload->Count(98);
  std::ranges::generate(*payload, [n = 0]() mutable { return static_cast<uint8_t>(n++ * 7); });
  CRC::Stamp(*payload);

  constexpr int32_t kData = 7;
  auto received = ByteArray::New();
  int frames = 0;
  for (int32_t at = payload->LowIndex(); at <= payload->HighIndex(); at += kData) {
    const int32_t count = std::min(kData, payload->HighIndex() - at + 1);
    const auto chunk = payload->Interval(at, count);  // a view: no byte copied yet
    auto frame = ByteArray::New({static_cast<uint8_t>(frames++ & 0x0F)});
    frame->Interval(2)->Copy(*chunk);  // the frame's tail takes the chunk
    if (frames <= 2 || at + kData > payload->HighIndex()) {
      std::cout << "frame " << frames << "  " << *frame << "\n";
    } else if (frames == 3) {
      std::cout << "...\n";
    }
    // The receiver: everything after the sequence number goes at the end.
    received->Interval(received->Count() + 1)->Copy(*frame->Interval(2));
  }
  std::cout << frames << " frames, " << received->Count() << " bytes received, "
            << (received->Check(*payload) ? "the same bytes" : "different bytes") << ", check "
            << (CRC::Intact(*received) ? "intact" : "corrupt") << "\n";
  return 0;
} catch (const Error& error) {
  std::cerr << error << "\n";
  return 2;
}
