// The Intel HEX, S-record and JSON readers on arbitrary files: each either
// reads the file or refuses it with a FileError, and what it reads writes
// back and reads again to the same image.
#include "formats/file_error.h"
#include "formats/image_file.h"
#include "formats/json_property_bag.h"
#include "fuzz/fuzz_check.h"
#include "ombrix/fields/enumeration.h"
#include "ombrix/memory/memory_map.h"
#include "tests/byte_array_testing.h"

using namespace ombrix;

namespace {

void CheckRoundTrip(const formats::ImageFile& file) {
  const auto intel = formats::ParseIntelHex(formats::FormatIntelHex(file), "again.hex");
  FUZZ_CHECK(testing::Describe(*intel.Image) == testing::Describe(*file.Image));
  FUZZ_CHECK(intel.StartAddress == file.StartAddress);
  const auto motorola = formats::ParseSRecord(formats::FormatSRecord(file), "again.s19");
  FUZZ_CHECK(testing::Describe(*motorola.Image) == testing::Describe(*file.Image));
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
    switch (data[0] % 3) {
      case 0:
        CheckRoundTrip(formats::ParseIntelHex(text, "fuzz.hex"));
        break;
      case 1:
        CheckRoundTrip(formats::ParseSRecord(text, "fuzz.s19"));
        break;
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
  }
  return 0;
}
