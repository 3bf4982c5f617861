#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>

#include "formats/file_error.h"
#include "formats/image_file.h"
#include "formats/json_property_bag.h"
#include "ombrix/fields/enumeration.h"
#include "ombrix/memory/memory_map.h"
#include "tests/byte_array_testing.h"

namespace ombrix::formats {
namespace {

using ombrix::testing::Describe;

// Random arrays with gaps, some touching (they join), at low addresses, above
// 64 KiB and above 16 MiB, across 64 KiB page ends.
ImageFile RandomImage(std::mt19937& random) {
  ImageFile file;
  int64_t address = random() % 3 == 0 ? 0 : random() % 0x2000;
  const int64_t jumps[] = {0, 1, 0x10000 - 7, 0x1000000 + 3, 0x1234567};
  for (int k = 0; k < 12; ++k) {
    std::vector<uint8_t> bytes(1 + random() % 70);
    std::ranges::generate(bytes, [&] { return static_cast<uint8_t>(random()); });
    file.Image->Add(static_cast<int32_t>(address), bytes);
    address += static_cast<int64_t>(bytes.size()) + (random() % 2 == 0 ? 0 : 1 + random() % 40) +
               jumps[random() % 5] * (random() % 4 == 0);
  }
  if (random() % 2) file.StartAddress = static_cast<uint32_t>(random());
  return file;
}

TEST(ImageFormatsTest, EveryFormatRoundTripsRandomImages) {
  std::mt19937 random(31);
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE(round);
    ImageFile file = RandomImage(random);
    file.SegmentStart = 0x12345678;
    file.Header = "round " + std::to_string(round);
    const ImageFile intel = ParseIntelHex(FormatIntelHex(file), "t.hex");
    EXPECT_EQ(Describe(*intel.Image), Describe(*file.Image));
    EXPECT_EQ(intel.StartAddress, file.StartAddress);
    EXPECT_EQ(intel.SegmentStart, file.SegmentStart);
    const ImageFile motorola = ParseSRecord(FormatSRecord(file), "t.s19");
    EXPECT_EQ(Describe(*motorola.Image), Describe(*file.Image));
    // Only a linear start exists there: CS:IP becomes CS * 16 + IP.
    EXPECT_EQ(motorola.StartAddress, file.StartAddress.value_or(0x12340 + 0x5678));
    EXPECT_EQ(motorola.Header, file.Header);
    file.SegmentStart.reset();
    file.StartAddress.reset();
    EXPECT_EQ(ParseSRecord(FormatSRecord(file), "t.s19").StartAddress, std::nullopt);
    EXPECT_EQ(ParseIntelHex(FormatIntelHex(file), "t.hex").StartAddress, std::nullopt);
  }
  // Files hold what records hold: a 20-bit segment address and the record types for each width.
  const ImageFile segmented =
      ParseIntelHex(":020000021000EC\n:02FFF000AABBAA\n:00000001FF\n", "s.hex");
  EXPECT_EQ(Describe(*segmented.Image), "131056:AABB ");
  EXPECT_EQ(FormatSRecord(segmented).substr(0, 13), "S0030000FC\nS2");  // 24-bit addresses
}

// An image holds addresses up to 7FFFFFFE: data reaching 7FFFFFFF is based
// at its lowest address, and 2^31 addresses from 0 are one too many.
TEST(ImageFormatsTest, TheLastAddressBelow2GiBMovesTheBase) {
  const ImageFile top = ParseBinary("binary, the top!", 0x7FFFFFF0, "top.bin");
  EXPECT_EQ(top.Base, 0x7FFFFFF0u);
  EXPECT_EQ(FormatBinary(top), "binary, the top!");
  const std::string low = ":0100000001FE\n:020000047FFF7C\n:01FFFE00AA58\n";
  const ImageFile fits = ParseIntelHex(low + ":00000001FF\n", "fits.hex");
  EXPECT_EQ(fits.Base, 0u);
  EXPECT_EQ(fits.Image->Item(2)->LowIndex(), 0x7FFFFFFE);
  try {
    ParseIntelHex(low + ":01FFFF00BB46\n:00000001FF\n", "2GiB.hex");
    ADD_FAILURE() << "2^31 addresses accepted";
  } catch (const FileError& error) {
    EXPECT_NE(error.Message().find("from 00000000 to 7FFFFFFF spans 2 GiB"), std::string::npos);
  }
}

// Readers take their text in chunks of a mebibyte: records cut by a chunk's
// end, runs that grow over many blocks, and a line longer than a chunk.
TEST(ImageFormatsTest, LargeFilesReadInChunks) {
  std::mt19937 random(8);
  ImageFile file;
  file.Base = 0x90000000;
  for (const int32_t start : {0, 1500000, 3000007}) {
    std::vector<uint8_t> bytes(static_cast<size_t>(1400000 + start % 7));
    std::ranges::generate(bytes, [&] { return static_cast<uint8_t>(random()); });
    file.Image->Add(start, bytes);
  }
  for (const FileFormat format :
       {FileFormat::kIntelHex, FileFormat::kSRecord, FileFormat::kJson, FileFormat::kBinary}) {
    const std::string text = FormatImage(file, format, {.RecordBytes = 37});
    const ImageFile back = ParseImage(text, format, "big", 0x90000000);
    EXPECT_EQ(back.Base, file.Base);
    if (format == FileFormat::kBinary) {
      EXPECT_EQ(back.Image->Count(), 1);  // the gaps filled
      EXPECT_EQ(back.Image->Item(1)->Interval(1500000, file.Image->Item(2)->Count())->Text(),
                file.Image->Item(2)->Text());
    } else {
      EXPECT_EQ(Describe(*back.Image), Describe(*file.Image));
    }
  }
  const std::string long_line = ":" + std::string(3 << 20, '0') + "\n";
  EXPECT_THROW(ParseIntelHex(long_line, "long.hex"), FileError);
}

TEST(ImageFormatsTest, JsonFilesKeepHeadersAndKinds) {
  const auto folder = std::filesystem::temp_directory_path() / "ombrix_formats_test";
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "image.json").string();
  std::mt19937 random(5);
  ImageFile file = RandomImage(random);
  file.Header = "été";
  WriteImageFile(file, path);
  const ImageFile loaded = ReadImageFile(path);
  EXPECT_EQ(Describe(*loaded.Image), Describe(*file.Image));
  EXPECT_EQ(loaded.Header, "été");

  auto bag = JsonPropertyBag::New();
  auto states = Enumeration::New();
  states->Add("Arrêt", 0);
  states->Add("Marche", -2);
  states->WriteProperties(*bag);
  bag->WriteProperty("Bytes", Variant(SafeArray<uint8_t>(3, std::vector<uint8_t>{1, 255})));
  bag->WriteProperty(
      "Mixed", Variant(SafeArray<Variant>(0, {Variant(1.5), Variant::Null(), Variant(true)})));
  bag->Save(path);
  auto back = JsonPropertyBag::Load(path);
  EXPECT_EQ(back->Keys(), bag->Keys());
  EXPECT_TRUE(back->ReadProperty("Value2").IsLong());
  EXPECT_TRUE(back->ReadProperty("Text1").IsString());
  EXPECT_EQ(back->ReadProperty("Bytes"), bag->ReadProperty("Bytes"));
  EXPECT_EQ(back->ReadProperty("Bytes").ByteArray()->LBound(), 3);
  EXPECT_EQ(back->ReadProperty("Mixed"), bag->ReadProperty("Mixed"));
  EXPECT_EQ(Enumeration::Load(*back)->Value("Marche"), -2);
  std::filesystem::remove_all(folder);
}

struct BadFile {
  const char* name;
  const char* text;
  int line;
  const char* message;
};

class BadFileTest : public ::testing::TestWithParam<BadFile> {};

// Each kind of malformed file is refused at its line, saying what is wrong.
TEST_P(BadFileTest, IsRefusedWithLineAndReason) {
  const BadFile& bad = GetParam();
  try {
    const std::string name = bad.name;
    if (name.ends_with(".hex")) {
      ParseIntelHex(bad.text, name);
    } else if (name.ends_with(".json")) {
      JsonPropertyBag::Parse(bad.text, name);
    } else {
      ParseSRecord(bad.text, name);
    }
    ADD_FAILURE() << "accepted";
  } catch (const FileError& error) {
    EXPECT_EQ(error.File(), bad.name);
    EXPECT_EQ(error.Line(), bad.line);
    EXPECT_NE(error.Message().find(bad.message), std::string::npos) << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadFileTest,
    ::testing::Values(
        BadFile{"checksum.hex", ":0100000001FF\n:00000001FF\n", 1, "bad checksum"},
        BadFile{"odd.hex", "\n:01000000010\n", 2, "odd number"},
        BadFile{"digit.hex", ":010000000G00\n", 1, "'0G' is not a hexadecimal byte"},
        BadFile{"type.hex", ":00000006FA\n", 1, "unknown record type 06"},
        BadFile{"short.hex", ":0200000001FD\n", 1, "data bytes, its length says 2"},
        BadFile{"colon.hex", "0100000001FE\n", 1, "start with ':'"},
        BadFile{"end.hex", ":0100000001FE\n", 1, "no end-of-file record"},
        BadFile{"after.hex", ":00000001FF\n:0100000001FE\n", 2, "after the end-of-file"},
        BadFile{"overlap.hex", ":020000000102FB\n:0100100005EA\n:0100010009F5\n:00000001FF\n", 3,
                "overlaps data read before"},
        BadFile{"top.hex", ":02000004FFFFFC\n:02FFFF00AABB9B\n:00000001FF\n", 2,
                "beyond address FFFFFFFF"},
        BadFile{"span.hex", ":0100000001FE\n:0200000480007A\n:0100000001FE\n:00000001FF\n", 0,
                "from 00000000 to 80000000 spans 2 GiB"},
        BadFile{"checksum.s19", "S1040000AA00\nS9030000FC\n", 1, "bad checksum"},
        BadFile{"type.s19", "S4030000FC\n", 1, "unknown record type S4"},
        BadFile{"length.s19", "S1050000AAAB\n", 1, "length does not match"},
        BadFile{"count.s19", "S1040000AA51\nS5030002FA\nS9030000FC\n", 2, "says 2 data records"},
        BadFile{"overlap.s19", "S1050000AABB95\nS1040001CC2E\nS9030000FC\n", 2, "overlaps"},
        BadFile{"syntax.json", "{\n  \"Count\": 1,\n  oops\n}\n", 3, "syntax error"},
        BadFile{"shape.json", "[1, 2]\n", 0, "expected a JSON object"},
        BadFile{"kind.json", "{\"Count\": {\"what\": 1}}\n", 0, "no known kind"},
        BadFile{"huge.json", "{\"Count\": 1E999}\n", 0, "number overflow"}));

}  // namespace
}  // namespace ombrix::formats
