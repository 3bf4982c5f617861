// CRC over arbitrary bytes, through a plain array and through a view that
// may reach outside its parent, against the bit-by-bit loop.
#include <vector>

#include "fuzz/fuzz_check.h"
#include "ombrix/bytes/byte_array.h"
#include "ombrix/checksum/crc.h"
#include "ombrix/checksum/crc_internal.h"

using namespace ombrix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const int32_t low = in.Between(-5, 5);
  const int32_t offset = in.Between(-3, 40);
  const int32_t count = in.Between(-3, 300);
  const std::string rest = in.Rest();
  const std::vector<uint8_t> bytes(rest.begin(), rest.end());
  auto array = fuzz::ArrayOf(bytes, low);

  auto crc = CRC::New();
  crc->Append(*array);
  FUZZ_CHECK(crc->Register() == detail::Crc16Reference(0xFFFF, bytes.data(), bytes.size()));

  // A view reads the bytes its parent has, up to the first it lacks, then fails.
  auto view = array->Interval(low + offset, count);
  const int64_t wanted = count != 0 ? count : static_cast<int64_t>(bytes.size()) - offset;
  const int64_t held =
      offset < 0 ? 0 : std::clamp<int64_t>(static_cast<int64_t>(bytes.size()) - offset, 0, wanted);
  crc->Clear();
  const int32_t error = fuzz::ErrorOf([&] { crc->Append(*view); });
  FUZZ_CHECK(error == (wanted > 0 && held < wanted ? 9 : 0));
  const uint16_t expected =
      held > 0 ? detail::Crc16Reference(0xFFFF, bytes.data() + offset, static_cast<size_t>(held))
               : 0xFFFF;
  FUZZ_CHECK(crc->Register() == expected);

  // Stamped, the frame checks intact.
  auto frame = array->Copy();
  crc->Clear();
  crc->Append(*frame);
  frame->Count(frame->Count() + 2);
  crc->Send(*frame);
  crc->Clear();
  crc->Append(*frame);
  FUZZ_CHECK(crc->Check());
  return 0;
}
