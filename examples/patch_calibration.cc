// Patching a calibration: the maximum vehicle speed, a 32-bit value in
// hundredths of km/h (low byte first) at 8010 of a calibration block
// 8000-803F whose last two bytes are the HDLC check bytes of the others.
// Reads an Intel HEX file, writes the new speed and the block's new check
// bytes, and writes the file back.
//
//   patch_calibration INPUT.hex OUTPUT.hex KM_PER_HOUR
#include <iostream>
#include <string>

#include "formats/image/image_file.h"
#include "ombrix/ombrix.h"

using namespace ombrix;

namespace {

constexpr int32_t kBlock = 0x8000;
constexpr int32_t kBlockBytes = 0x40;
constexpr int32_t kSpeedAt = 0x8010;

}  // namespace

int main(int argc, char** argv) try {
  if (argc != 4) {
    std::cerr << "usage: patch_calibration INPUT.hex OUTPUT.hex KM_PER_HOUR\n";
    return 2;
  }
  formats::ImageFile file = formats::ReadImageFile(argv[1]);
  const std::shared_ptr<ByteArray> holder = formats::Holding(file, kBlock);
  if (!holder || holder->LowIndex() != kBlock || holder->Count() < kBlockBytes) {
    std::cerr << "no calibration block at 8000-803F\n";
    return 1;
  }
  // A live view on the block inside the image's own array: the field and
  // the check bytes written through it land in the image.
  // A view counts from 1; giving it the block's address as LowIndex lets
  // it be indexed by address, like the image.
  const auto block = holder->Interval(kBlock, kBlockBytes);
  block->LowIndex(kBlock);
  std::cout << "block check " << (CRC::Intact(*block) ? "intact" : "corrupt") << "\n";

  auto raw = LittleEndian::New();
  raw->RefersTo(*block, {.SkippedBits = 8 * (kSpeedAt - kBlock), .NumBits = 32, .Signed = true});
  auto speed = ScaledValue::New();
  speed->RefersTo(raw);
  speed->CoeffC(100);
  speed->Precision(2);
  speed->Settings(RegionalSettings::English());
  std::cout << "speed limit " << speed->Text() << " km/h\n";

  // Typed by a person: "85,5" is refused rather than read as 855.
  speed->Value(RegionalSettings::English().ParseStrict(argv[3]));
  auto check = CRC::New();
  check->Append(*block->Interval(kBlock, kBlockBytes - 2));
  check->Send(*block);
  std::cout << "new limit   " << speed->Text() << " km/h, block check "
            << (CRC::Intact(*block) ? "intact" : "corrupt") << "\n";
  std::cout << "block bytes " << *block->Interval(kSpeedAt, 4) << " ... "
            << *block->Interval(kBlock + kBlockBytes - 2, 2) << "\n";
  formats::WriteImageFile(file, argv[2]);
  return 0;
} catch (const Error& error) {
  std::cerr << error << "\n";
  return 2;
} catch (const std::exception& error) {
  std::cerr << error.what() << "\n";
  return 2;
}
