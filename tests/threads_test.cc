// Distinct objects on distinct threads: every class, the arrays an image
// handed out once the image is gone, and files written and read by several
// threads at once. Meant for the ThreadSanitizer build (preset "tsan"), which
// reports any state two threads share without order; the ordinary build
// checks that each thread's results are its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "formats/image/image_file.h"
#include "formats/json_property_bag.h"
#include "ombrix/automation/late_binding.h"
#include "ombrix/ombrix.h"
#include "tools/cli.h"

namespace ombrix {
namespace {

constexpr int kThreads = 4;

// One thread's work with objects of its own; returns what it found, which
// depends only on `seed`.
std::string UseEverything(int seed, const std::string& folder) {
  auto frame = ByteArray::New({0x10, 0xA5, 0x3C, 0x7B, 0x0B, 0xB8, 0x02, 0x00});
  frame->Item(1, seed);
  auto window = frame->Interval(2, 4);
  auto tail = frame->Interval(7);
  tail->Text("0102");
  const auto bounds = frame->Bounds();
  auto intel = LittleEndian::New();
  intel->RefersTo(*window, {.SkippedBits = 0, .NumBits = 16});
  auto motorola = BigEndian::New();
  motorola->RefersTo(*frame, {.SkippedBits = 8, .NumBits = 12});
  auto scaled = ScaledValue::New();
  scaled->RefersTo(intel);
  scaled->CoeffA(0.25);
  scaled->Settings(seed % 2 == 0 ? RegionalSettings::English() : RegionalSettings::French());
  auto states = Enumeration::New();
  states->Add("Arrêt", 0);
  states->Add("Marche", seed);
  auto map = MemoryMap::New();
  map->Add(0x100 * seed, 16);
  map->Add(0x100 * seed + 16, 16);
  auto image = map->MemoryImage(static_cast<uint8_t>(seed));
  image->MemoryWrite(*ByteArray::New({1, 2, 3}, 0x100 * seed + 4));
  CRC::Stamp(*frame);
  auto bag = formats::JsonPropertyBag::New();
  image->WriteProperties(*bag);
  states->WriteProperties(*bag);

  formats::ImageFile file;
  file.Regions.push_back({0, image});
  const std::string path = folder + "/thread" + std::to_string(seed) + ".hex";
  formats::WriteImageFile(file, path);
  const formats::ImageFile read = formats::ReadImageFile(path);
  bag->Save(path + ".json");

  // The same frame through late binding, as a client in another language has it.
  using automation::Kinds;
  using automation::MemberKind;
  const automation::Object late = automation::CreateObject("ombrix.bytearray");
  std::vector<automation::Value> text{automation::Value(Variant(frame->Text()))};
  (void)automation::Invoke(late, "text", Kinds(MemberKind::Let), text);
  std::vector<automation::Value> none;
  const std::string sum =
      automation::Invoke(late, "SUM", Kinds(MemberKind::Method), none).AsVariant()->ToString();

  return frame->Text() + " " + sum + " " + std::to_string(bounds->Count()) + " " +
         std::to_string(intel->Value()) + " " + std::to_string(motorola->Value()) + " " +
         scaled->Text() + " " + states->Text(seed) + " " + std::to_string(map->BytesCount()) + " " +
         formats::ReadBytes(read, 0x100 * static_cast<uint32_t>(seed) + 3, 5)->Text() + " " +
         (CRC::Intact(*frame) ? "intact" : "corrupt") + " " +
         std::to_string(formats::JsonPropertyBag::Load(path + ".json")->Keys().size());
}

TEST(ThreadsTest, DistinctObjectsOnDistinctThreads) {
  const auto folder = std::filesystem::temp_directory_path() / "ombrix_threads_test";
  std::filesystem::create_directories(folder);
  std::vector<std::string> alone(kThreads + 1), together(kThreads + 1);
  for (int seed = 1; seed <= kThreads; ++seed) alone[seed] = UseEverything(seed, folder.string());
  std::vector<std::thread> threads;
  for (int round = 0; round < 20; ++round) {
    for (int seed = 1; seed <= kThreads; ++seed) {
      threads.emplace_back([&, seed] { together[seed] = UseEverything(seed, folder.string()); });
    }
    for (auto& thread : threads) thread.join();
    threads.clear();
    EXPECT_EQ(together, alone);
  }
  std::filesystem::remove_all(folder);
}

// The arrays an image handed out share its record of changes; once the
// image is gone, each may go to a thread of its own and change size there.
TEST(ThreadsTest, ArraysOfAGoneImageOnThreadsOfTheirOwn) {
  std::vector<std::shared_ptr<ByteArray>> arrays;
  {
    auto image = MemoryImage::New();
    for (int k = 0; k < kThreads; ++k) image->Add(*ByteArray::New({1, 2, 3}, 0x10 * k));
    for (const auto& array : *image) arrays.push_back(array);
  }
  std::vector<std::thread> threads;
  for (const auto& array : arrays) {
    threads.emplace_back([array] {
      for (int32_t count = 1; count <= 200; ++count) array->Count(count);
    });
  }
  for (auto& thread : threads) thread.join();
  for (const auto& array : arrays) EXPECT_EQ(array->Count(), 200);
}

TEST(ThreadsTest, TheProgramReadsATraceOnAThreadBesideItsWriting) {
  // Enough frames for many batches, channels that appear on the way, and
  // lines the reader skips.
  std::string log;
  std::string expected;
  for (int k = 0; k < 30000; ++k) {
    char line[80];
    std::snprintf(line, sizeof line, "(%d.%06d) can%d %03X#%02X%02X R\n", 1700000000 + k / 1000,
                  k % 1000 * 1000, k / 7000, k % 0x800, k & 0xFF, k >> 8 & 0xFF);
    log += line;
    expected += line;
    if (k % 9999 == 0) log += "not a frame\n";
  }
  std::istringstream in(log);
  std::ostringstream out, err;
  cli::Context context{in, out, err, ""};
  const char* argv[] = {"ombrix", "trace", "convert", "-", "-o", "-", "--out-format", "candump"};
  EXPECT_EQ(cli::Run(8, argv, context), 0);
  EXPECT_EQ(out.str(), expected);
  EXPECT_NE(err.str().find(":2: "), std::string::npos);
}

TEST(ThreadsTest, DecodingIsSharedBetweenTheReadingThreadAndTheWriting) {
  // Read from memory, the trace comes faster than rows are written, so the
  // reading thread formats batches too; the rows must stay in order.
  std::string log;
  std::vector<std::string> times;
  for (int k = 0; k < 60000; ++k) {
    char line[80];
    std::snprintf(line, sizeof line, "(%d.%06d) can0 %03X#%016X\n", 1700000000 + k / 1000,
                  k % 1000 * 1000, k % 2 == 0 ? 0x123 : 0x200, k * 2654435761u);
    log += line;
    if (k % 2 == 0) times.push_back(std::string(line + 1, 17));
  }
  std::istringstream in(log);
  std::ostringstream out, err;
  cli::Context context{in, out, err, ""};
  const std::string dbc = std::string(OMBRIX_SAMPLES_DIR) + "/engine.dbc";
  const char* argv[] = {"ombrix", "trace", "decode", "-", "--dbc", dbc.c_str(), "-o", "-"};
  ASSERT_EQ(cli::Run(8, argv, context), 0);
  std::istringstream rows(out.str());
  std::string row;
  std::getline(rows, row);  // the header
  size_t count = 0;
  while (std::getline(rows, row)) {
    ASSERT_LT(count, times.size());
    ASSERT_EQ(row.substr(0, 17), times[count]) << "row " << count;
    EXPECT_EQ(row.substr(17, 20), ",can0,291,EngineData");
    ++count;
  }
  EXPECT_EQ(count, times.size());
}

}  // namespace
}  // namespace ombrix
