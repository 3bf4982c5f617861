// The Intel HEX, S-record, binary and JSON readers on arbitrary files: each
// either reads the file or refuses it with a FileError, and what it reads
// writes back in every format and reads again to the same image at the same
// file addresses.
#include "formats/file_error.h"
#include "formats/image/image_file.h"
#include "formats/json_property_bag.h"
#include "fuzz/fuzz_check.h"
#include "ombrix/fields/enumeration.h"
#include "ombrix/memory/memory_map.h"
#include "tests/byte_array_testing.h"
#include "tests/image_file_testing.h"

using namespace ombrix;

namespace {

bool SameData(const formats::ImageFile& a, const formats::ImageFile& b) {
  return testing::DescribeFile(a) == testing::DescribeFile(b);
}

void CheckRoundTrip(const formats::ImageFile& file) {
  const auto intel = formats::ParseIntelHex(formats::FormatIntelHex(file), "again.hex");
  FUZZ_CHECK(SameData(intel, file));
  FUZZ_CHECK(intel.StartAddress == file.StartAddress);
  FUZZ_CHECK(intel.SegmentStart == file.SegmentStart);
  const auto motorola = formats::ParseSRecord(formats::FormatSRecord(file), "again.s19");
  FUZZ_CHECK(SameData(motorola, file));
  if (file.SegmentStart && !file.StartAddress) {
    FUZZ_CHECK(motorola.StartAddress ==
               (*file.SegmentStart >> 16) * 16 + (*file.SegmentStart & 0xFFFF));
  } else {
    FUZZ_CHECK(motorola.StartAddress == file.StartAddress);
  }
  const auto json = formats::ParseImage(formats::FormatImage(file, formats::FileFormat::kJson),
                                        formats::FileFormat::kJson, "again.json");
  FUZZ_CHECK(SameData(json, file));
  FUZZ_CHECK(json.StartAddress == file.StartAddress && json.Header == file.Header);
  // Binary: the span from the lowest address, the held bytes where they were.
  const auto extent = formats::FileExtent(file);
  if (extent && extent->second - extent->first < (1u << 20)) {
    const std::string bytes = formats::FormatBinary(file);
    FUZZ_CHECK(bytes.size() == extent->second - extent->first + 1u);
    const auto binary = formats::ParseBinary(bytes, extent->first, "again.bin");
    for (const auto& placed : formats::Arrays(file)) {
      const auto held =
          formats::ReadBytes(binary, placed.Address, static_cast<uint32_t>(placed.Bytes->size()));
      FUZZ_CHECK(held && held->Text() == placed.Bytes->Text());
    }
  }
}

// Strict reading refuses exactly the files whose reading noted something,
// and reads the others alike.
template <class Parse>
void CheckStrict(const formats::ImageFile& file, Parse parse) {
  try {
    const formats::ImageFile strict = parse(formats::ReadOptions{.Strict = true});
    FUZZ_CHECK(file.Notices.empty() && SameData(strict, file));
  } catch (const formats::FileError&) {
    FUZZ_CHECK(!file.Notices.empty());
  }
}

// Every persistable class loads from the bag or raises one of its errors.
void LoadEverything(const PropertyBag& bag) {
  const auto loads = [](auto load) {
    try {
      load();
    } catch (const Error&) {
    }
  };
  loads([&] { ByteArray::Load(bag); });
  loads([&] { Enumeration::Load(bag); });
  loads([&] { MemoryMap::Load(bag); });
  loads([&] { MemoryImage::Load(bag); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    switch (data[0] % 5) {
      case 0: {
        const auto file = formats::ParseIntelHex(text, "fuzz.hex");
        CheckStrict(file, [&](auto options) { return formats::ParseIntelHex(text, "s", options); });
        CheckRoundTrip(file);
        break;
      }
      case 1: {
        const auto file = formats::ParseSRecord(text, "fuzz.s19");
        CheckStrict(file, [&](auto options) { return formats::ParseSRecord(text, "s", options); });
        CheckRoundTrip(file);
        break;
      }
      case 3:
        CheckRoundTrip(formats::ParseImage(text, formats::FileFormat::kJson, "fuzz.json"));
        break;
      case 4: {
        // The first four bytes are the base, the rest the binary file.
        if (text.size() < 4) break;
        uint32_t base = 0;
        for (size_t k = 0; k < 4; ++k) base = base << 8 | static_cast<uint8_t>(text[k]);
        CheckRoundTrip(formats::ParseBinary(std::string_view(text).substr(4), base, "fuzz.bin"));
        break;
      }
      default: {
        const auto bag = formats::JsonPropertyBag::Parse(text, "fuzz.json");
        LoadEverything(*bag);
        const auto again = formats::JsonPropertyBag::Parse(bag->Text(), "again.json");
        FUZZ_CHECK(again->Keys() == bag->Keys());
        for (const std::string& key : bag->Keys())
          FUZZ_CHECK(again->ReadProperty(key) == bag->ReadProperty(key));
      }
    }
  } catch (const formats::FileError& error) {
    FUZZ_CHECK(error.Line() >= 0 && !error.Message().empty());
    // A message is one line with nothing a terminal would act on.
    for (const char c : std::string_view(error.what())) {
      FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    }
  }
  return 0;
}
