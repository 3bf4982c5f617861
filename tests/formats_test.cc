#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <future>
#include <random>
#include <string>
#include <thread>

#include "formats/file_error.h"
#include "formats/image/image_file.h"
#include "formats/json_property_bag.h"
#include "ombrix/fields/enumeration.h"
#include "ombrix/memory/memory_map.h"
#include "tests/byte_array_testing.h"
#include "tests/image_file_testing.h"

namespace ombrix::formats {
namespace {

using ombrix::testing::Describe;
using ombrix::testing::DescribeFile;
using ombrix::testing::FileOf;

// Random arrays with gaps, some touching (they join), at low addresses, above
// 64 KiB and above 16 MiB, across 64 KiB page ends.
ImageFile RandomImage(std::mt19937& random) {
  ImageFile file = FileOf(MemoryImage::New());
  int64_t address = random() % 3 == 0 ? 0 : random() % 0x2000;
  const int64_t jumps[] = {0, 1, 0x10000 - 7, 0x1000000 + 3, 0x1234567};
  for (int k = 0; k < 12; ++k) {
    std::vector<uint8_t> bytes(1 + random() % 70);
    std::ranges::generate(bytes, [&] { return static_cast<uint8_t>(random()); });
    file.Regions[0].Image->Add(static_cast<int32_t>(address), bytes);
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
    EXPECT_EQ(DescribeFile(intel), DescribeFile(file));
    EXPECT_EQ(intel.StartAddress, file.StartAddress);
    EXPECT_EQ(intel.SegmentStart, file.SegmentStart);
    const ImageFile motorola = ParseSRecord(FormatSRecord(file), "t.s19");
    EXPECT_EQ(DescribeFile(motorola), DescribeFile(file));
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
  EXPECT_EQ(DescribeFile(segmented), "1FFF0:AABB ");
  EXPECT_EQ(FormatSRecord(segmented).substr(0, 13), "S0030000FC\nS2");  // 24-bit addresses
}

// An image holds addresses up to 7FFFFFFE, a file any up to FFFFFFFF: data
// that spans 2 GiB or more lies in several regions, and every format writes
// and reads them back alike.
TEST(ImageFormatsTest, DataAnywhereInTheAddressSpaceLiesInRegions) {
  const ImageFile top = ParseBinary("binary, the top!", 0x7FFFFFF0, "top.bin");
  ASSERT_EQ(top.Regions.size(), 1u);
  EXPECT_EQ(top.Regions[0].Base, 0x7FFFFFF0u);
  EXPECT_EQ(FormatBinary(top), "binary, the top!");
  const std::string low = ":0100000001FE\n:020000047FFF7C\n:01FFFE00AA58\n";
  const ImageFile fits = ParseIntelHex(low + ":00000001FF\n", "fits.hex");
  ASSERT_EQ(fits.Regions.size(), 1u);
  EXPECT_EQ(fits.Regions[0].Base, 0u);
  EXPECT_EQ(fits.Regions[0].Image->Item(2)->LowIndex(), 0x7FFFFFFE);
  const ImageFile wide = ParseIntelHex(low + ":01FFFF00BB46\n:00000001FF\n", "2GiB.hex");
  ASSERT_EQ(wide.Regions.size(), 2u);
  EXPECT_EQ(wide.Regions[1].Base, 0x7FFFFFFEu);
  EXPECT_EQ(DescribeFile(wide), "0:01 7FFFFFFE:AABB ");

  // Internal flash at 08000000, external flash at 90000000, a byte at the very top.
  ImageFile flash;
  flash.Regions = {{0x08000000, MemoryImage::New()},
                   {0x90000000, MemoryImage::New()},
                   {0xFFFFFFFF, MemoryImage::New()}};
  flash.Regions[0].Image->Add(0, std::vector<uint8_t>(300, 0x11));
  flash.Regions[1].Image->Add(0xFFF0, std::vector<uint8_t>(40, 0x22));
  flash.Regions[2].Image->Add(0, std::vector<uint8_t>{0x33});
  flash.StartAddress = 0x08000101;
  for (const FileFormat format : {FileFormat::kIntelHex, FileFormat::kSRecord, FileFormat::kJson}) {
    const ImageFile back = ParseImage(FormatImage(flash, format), format, "flash");
    EXPECT_EQ(DescribeFile(back), DescribeFile(flash));
    EXPECT_EQ(back.StartAddress, flash.StartAddress);
    EXPECT_EQ(back.Regions.size(), 2u);  // as few as the data allows
  }
  EXPECT_EQ(ReadBytes(flash, 0x9000FFFE, 4)->Text(), "22222222");
  EXPECT_EQ(ReadBytes(flash, 0x90010026, 3), nullptr);
  EXPECT_TRUE(WriteBytes(flash, 0xFFFFFFFF, std::vector<uint8_t>{0x44}));
  EXPECT_FALSE(WriteBytes(flash, 0x0800012B, std::vector<uint8_t>{1, 2}));
  EXPECT_EQ(Holding(flash, 0xFFFFFFFF)->Text(), "44");
  try {
    FormatBinary(flash);
    ADD_FAILURE() << "a binary file of 4 GiB written";
  } catch (const std::invalid_argument& error) {
    EXPECT_NE(std::string(error.what()).find("from 08000000 to FFFFFFFF spans 4160749568 bytes"),
              std::string::npos);
  }
  // A binary file runs across regions, their gap filled.
  ImageFile near;
  near.Regions = {{0x1000, MemoryImage::New()}, {0x1004, MemoryImage::New()}};
  near.Regions[0].Image->Add(0, std::vector<uint8_t>{0xAA});
  near.Regions[1].Image->Add(0, std::vector<uint8_t>{0xBB});
  EXPECT_EQ(FormatBinary(near, {.Pattern = 0, .MaxBinarySize = 5}),
            std::string("\xAA\0\0\0\xBB", 5));
  EXPECT_THROW(FormatBinary(near, {.MaxBinarySize = 4}), std::invalid_argument);
}

// Readers take their text in chunks of a mebibyte: records cut by a chunk's
// end, runs that grow over many blocks, and a line longer than a chunk.
TEST(ImageFormatsTest, LargeFilesReadInChunks) {
  std::mt19937 random(8);
  ImageFile file = FileOf(MemoryImage::New(), 0x90000000);
  for (const int32_t start : {0, 1500000, 3000007}) {
    std::vector<uint8_t> bytes(static_cast<size_t>(1400000 + start % 7));
    std::ranges::generate(bytes, [&] { return static_cast<uint8_t>(random()); });
    file.Regions[0].Image->Add(start, bytes);
  }
  for (const FileFormat format :
       {FileFormat::kIntelHex, FileFormat::kSRecord, FileFormat::kJson, FileFormat::kBinary}) {
    const std::string text = FormatImage(file, format, {.RecordBytes = 37});
    const ImageFile back = ParseImage(text, format, "big", {.BinaryBase = 0x90000000});
    if (format == FileFormat::kBinary) {
      EXPECT_EQ(Arrays(back).size(), 1u);  // the gaps filled
      const auto second = file.Regions[0].Image->Item(2);
      EXPECT_EQ(
          ReadBytes(back, 0x90000000 + 1500000, static_cast<uint32_t>(second->size()))->Text(),
          second->Text());
    } else {
      EXPECT_EQ(DescribeFile(back), DescribeFile(file));
    }
  }
  const std::string long_line = ":" + std::string(3 << 20, '0') + "\n";
  EXPECT_THROW(ParseIntelHex(long_line, "long.hex"), FileError);
}

// What real files carry beyond their records: text after the end record,
// Ctrl-Z padding, records given twice, start addresses given twice.
TEST(ImageFormatsTest, FilesAsTheyAreFound) {
  const std::string record = ":020100000102FA\r\n", end = ":00000001FF\r\n";
  const std::string vendor = ":0400000AFFFFFFFFF4\r\nBuilt by a tool\r\n";
  const ImageFile padded = ParseIntelHex(record + end + "\x1A", "z.hex");
  EXPECT_EQ(DescribeFile(padded), "100:0102 ");
  EXPECT_TRUE(padded.Notices.empty());
  const ImageFile trailed = ParseIntelHex(record + end + vendor + "\x1A\x1A", "v.hex");
  EXPECT_EQ(DescribeFile(trailed), "100:0102 ");
  ASSERT_EQ(trailed.Notices.size(), 1u);
  EXPECT_STREQ(trailed.Notices[0].what(), "v.hex:3: 2 lines after the end-of-file record ignored");
  const ImageFile motorola = ParseSRecord("S1050100AABB94\nS9030000FC\nS1040010AA41\n", "t.s19");
  ASSERT_EQ(motorola.Notices.size(), 1u);
  EXPECT_EQ(motorola.Notices[0].Line(), 3);
  for (const auto& [text, name] : {std::pair{record + end + vendor, "v.hex"},
                                   std::pair{std::string("S9030000FC\nx\n"), "t.s19"}}) {
    try {
      name[2] == 'h' ? ParseIntelHex(text, name, {.Strict = true})
                     : ParseSRecord(text, name, {.Strict = true});
      ADD_FAILURE() << name << ": text after the end record accepted when strict";
    } catch (const FileError& error) {
      EXPECT_NE(error.Message().find("a line after the"), std::string::npos) << error.what();
    }
  }

  // The same bytes again are held once, across records of other lengths too.
  const ImageFile twice =
      ParseIntelHex(record + record + ":03010100020304F2\n:0101030004F7\n" + end, "twice.hex");
  EXPECT_EQ(DescribeFile(twice), "100:01020304 ");

  // A start address given again: the last one holds, and the change is noted.
  const ImageFile starts = ParseIntelHex(
      ":0400000500000100F6\n:0400000300100001E8\n:0400000500000200F5\n" + end, "s.hex");
  EXPECT_EQ(starts.StartAddress, 0x200u);
  EXPECT_EQ(starts.SegmentStart, 0x00100001u);
  ASSERT_EQ(starts.Notices.size(), 3u);
  EXPECT_EQ(starts.Notices[0].Message(),
            "segment start 0010:0001 disagrees with the start address 00000100 given at line 1");
  EXPECT_EQ(starts.Notices[1].Message(),
            "start address 00000200 replaces start address 00000100 given at line 1");
  EXPECT_EQ(starts.Notices[2].Message(),
            "start address 00000200 disagrees with the segment start 0010:0001 given at line 2");
  EXPECT_THROW(
      ParseIntelHex(":0400000500000100F6\n:0400000500000200F5\n" + end, "s.hex", {.Strict = true}),
      FileError);
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
  EXPECT_EQ(DescribeFile(loaded), DescribeFile(file));
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

// A write blocks the stopping signals in its own thread only, and changes
// no disposition: another thread sees the process as it was throughout.
TEST(ImageFormatsTest, AWriteLeavesOtherThreadsAlone) {
  const auto path = std::filesystem::temp_directory_path() / "ombrix_thread_write.hex";
  struct sigaction before {};
  sigaction(SIGXFSZ, nullptr, &before);
  std::promise<void> writing, checked;
  std::thread writer([&] {
    WriteFileSafely(path.string(), [&](const TextSink& sink) {
      sink(":00000001FF\n");
      sigset_t mine;
      pthread_sigmask(SIG_BLOCK, nullptr, &mine);
      EXPECT_EQ(sigismember(&mine, SIGINT), 1);
      writing.set_value();
      checked.get_future().wait();
    });
  });
  writing.get_future().wait();
  struct sigaction during {};
  sigaction(SIGXFSZ, nullptr, &during);
  sigset_t ours;
  pthread_sigmask(SIG_BLOCK, nullptr, &ours);
  EXPECT_EQ(during.sa_handler, before.sa_handler);
  EXPECT_EQ(sigismember(&ours, SIGINT), 0);
  // Nothing but the old file (none here) is seen under the target's name yet.
  EXPECT_FALSE(std::filesystem::exists(path));
  checked.set_value();
  writer.join();
  EXPECT_EQ(ReadFile(path.string()), ":00000001FF\n");
  std::filesystem::remove(path);
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
        BadFile{"overlap.hex", ":020000000102FB\n:0100100005EA\n:0100010009F5\n:00000001FF\n", 3,
                "bytes at 00000001-00000001 differ from those read at line 1"},
        BadFile{"before.hex", ":040002000A0B0C0DCC\n:0400000001020304F2\n:00000001FF\n", 2,
                "bytes at 00000002-00000003 differ from those read at line 1"},
        BadFile{"cr.hex", ":020100000102FA\r:00000001FF\r", 1, "'\\r:' is not a hexadecimal byte"},
        BadFile{"escape.hex",
                ":0201\x1B\xC3"
                "00000102FA\n",
                1, "'\\x1B\\xC3' is not a hexadecimal byte"},
        BadFile{"top.hex", ":02000004FFFFFC\n:02FFFF00AABB9B\n:00000001FF\n", 2,
                "beyond address FFFFFFFF"},
        BadFile{"checksum.s19", "S1040000AA00\nS9030000FC\n", 1, "bad checksum"},
        BadFile{"type.s19", "S4030000FC\n", 1, "unknown record type S4"},
        BadFile{"length.s19", "S1050000AAAB\n", 1, "length does not match"},
        BadFile{"count.s19", "S1040000AA51\nS5030002FA\nS9030000FC\n", 2, "says 2 data records"},
        BadFile{"overlap.s19", "S1050000AABB95\nS1040001CC2E\nS9030000FC\n", 2,
                "bytes at 00000001-00000001 differ from those read at line 1"},
        BadFile{"type.s",
                "S\x07"
                "030000FC\n",
                1, "unknown record type S\\x07"},
        BadFile{"syntax.json", "{\n  \"Count\": 1,\n  oops\n}\n", 3, "syntax error"},
        BadFile{"shape.json", "[1, 2]\n", 0, "expected a JSON object"},
        BadFile{"kind.json", "{\"Count\": {\"what\": 1}}\n", 0, "no known kind"},
        BadFile{"huge.json", "{\"Count\": 1E999}", 1, "number overflow"},
        BadFile{"deep.json",
                "{\"a\": {\"array\": [\n\"[{\",\n"
                "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[["
                "[[[[[[[[[[[[[[[[[[\n",
                3, "nested more than 100 deep"}));

}  // namespace
}  // namespace ombrix::formats
