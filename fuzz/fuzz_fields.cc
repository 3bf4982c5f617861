// LittleEndian and BigEndian on arbitrary geometry and bytes, against a
// model that reads and writes the field bit by bit.
#include <vector>

#include "fuzz/fuzz_check.h"
#include "ombrix/bytes/byte_array.h"
#include "ombrix/fields/big_endian.h"
#include "ombrix/fields/little_endian.h"

using namespace ombrix;

namespace {

int Bit(const std::vector<uint8_t>& bytes, bool intel, int64_t position) {
  const int shift = intel ? static_cast<int>(position % 8) : 7 - static_cast<int>(position % 8);
  return bytes[static_cast<size_t>(position / 8)] >> shift & 1;
}

int64_t ModelRead(const std::vector<uint8_t>& bytes, bool intel, int32_t skip, int32_t bits,
                  bool is_signed) {
  uint64_t value = 0;
  for (int32_t i = 0; i < bits; ++i) {
    const int weight = intel ? i : bits - 1 - i;
    value |= static_cast<uint64_t>(Bit(bytes, intel, skip + i)) << weight;
  }
  if (is_signed && (value >> (bits - 1) & 1))
    return static_cast<int64_t>(value) - (int64_t{1} << bits);
  return static_cast<int64_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const bool intel = in.Byte() & 1;
  const int32_t skip = in.Between(-2, 44);
  const int32_t bits = in.Between(-1, 34);
  const bool is_signed = in.Byte() & 1;
  std::vector<uint8_t> bytes(static_cast<size_t>(in.Between(0, 8)));
  for (auto& b : bytes) b = in.Byte();
  auto frame = fuzz::ArrayOf(bytes, in.Between(-3, 3));

  std::shared_ptr<NumericItem> item;
  if (intel) {
    item = LittleEndian::New();
  } else {
    item = BigEndian::New();
  }
  const int32_t refers = fuzz::ErrorOf([&] { item->RefersTo(*frame, skip, bits, is_signed); });
  if (skip < 0 || bits < 1) {
    FUZZ_CHECK(refers == 5);
    return 0;
  }
  const int64_t byte_count = (skip % 8 + bits - 1) / 8 + 1;
  if (byte_count > 4 || (bits == 32 && !is_signed)) {
    FUZZ_CHECK(refers == 1);
    return 0;
  }
  FUZZ_CHECK(refers == 0);
  const int64_t max = is_signed ? (int64_t{1} << (bits - 1)) - 1 : (int64_t{1} << bits) - 1;
  const int64_t min = is_signed ? -(int64_t{1} << (bits - 1)) : 0;
  FUZZ_CHECK(item->Max() == max && item->Min() == min);
  const bool present = skip / 8 + byte_count <= static_cast<int64_t>(bytes.size());

  int32_t got = 0;
  const int32_t read = fuzz::ErrorOf([&] { got = item->Value(); });
  FUZZ_CHECK(read == (present ? 0 : 9));
  if (present) FUZZ_CHECK(got == ModelRead(bytes, intel, skip, bits, is_signed));

  const int32_t value =
      in.Byte() & 1 ? in.Any() : static_cast<int32_t>(min + in.Any() % (max - min + 1));
  const int32_t write = fuzz::ErrorOf([&] { item->Value(value); });
  const std::vector<uint8_t> after = fuzz::BytesOf(*frame);
  if (value < min || value > max) {
    FUZZ_CHECK(write == 2000);
    FUZZ_CHECK(after == bytes);
  } else if (!present) {
    FUZZ_CHECK(write == 9);
    FUZZ_CHECK(after == bytes);
  } else {
    FUZZ_CHECK(write == 0);
    FUZZ_CHECK(ModelRead(after, intel, skip, bits, is_signed) == value);
    for (int64_t position = 0; position < 8 * static_cast<int64_t>(bytes.size()); ++position) {
      if (position < skip || position >= skip + bits) {
        FUZZ_CHECK(Bit(after, intel, position) == Bit(bytes, intel, position));
      }
    }
  }
  // The mask has exactly the field's bits set, over the bytes it touches.
  const std::string mask = item->Mask();
  FUZZ_CHECK(mask.size() == 2 * static_cast<size_t>(byte_count));
  auto mask_bytes = ByteArray::New();
  mask_bytes->Text(mask);
  std::vector<uint8_t> masked(static_cast<size_t>(skip / 8), 0);
  for (int32_t k = 1; k <= mask_bytes->Count(); ++k)
    masked.push_back(static_cast<uint8_t>(mask_bytes->Item(k)));
  for (int64_t position = 8 * (skip / 8); position < 8 * static_cast<int64_t>(masked.size());
       ++position) {
    FUZZ_CHECK(Bit(masked, intel, position) == (position >= skip && position < skip + bits));
  }
  return 0;
}
