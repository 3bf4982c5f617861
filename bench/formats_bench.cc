// Reading and writing a 16 MiB image as Intel HEX and as S-records, and the
// crc command's work on a 64 MiB frame given as hexadecimal text.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "formats/image/image_file.h"
#include "tools/cli.h"

namespace ombrix::formats {
namespace {

constexpr int32_t kImageBytes = 16 << 20;

// 16 MiB in four arrays, two of them above 16 MiB.
ImageFile SixteenMiB() {
  ImageFile file;
  file.Regions.emplace_back();
  std::mt19937 random(2);
  for (int32_t part = 0; part < 4; ++part) {
    auto array = ByteArray::New();
    array->Count(kImageBytes / 4);
    for (int32_t i = 1; i <= array->Count(); i += 97)
      array->Item(i, static_cast<int32_t>(random()));
    array->LowIndex(part * (kImageBytes / 2));
    file.Regions[0].Image->Add(*array);
  }
  return file;
}

void SetBytes(benchmark::State& state, int64_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
}

void BM_WriteIntelHex(benchmark::State& state) {
  const ImageFile file = SixteenMiB();
  for (auto _ : state) benchmark::DoNotOptimize(FormatIntelHex(file));
  SetBytes(state, kImageBytes);
}
BENCHMARK(BM_WriteIntelHex)->Unit(benchmark::kMillisecond);

void BM_ReadIntelHex(benchmark::State& state) {
  const std::string text = FormatIntelHex(SixteenMiB());
  for (auto _ : state) benchmark::DoNotOptimize(ParseIntelHex(text, "bench.hex"));
  SetBytes(state, kImageBytes);
  state.counters["file_MiB"] = static_cast<double>(text.size()) / (1 << 20);
}
BENCHMARK(BM_ReadIntelHex)->Unit(benchmark::kMillisecond);

void BM_WriteSRecord(benchmark::State& state) {
  const ImageFile file = SixteenMiB();
  for (auto _ : state) benchmark::DoNotOptimize(FormatSRecord(file));
  SetBytes(state, kImageBytes);
}
BENCHMARK(BM_WriteSRecord)->Unit(benchmark::kMillisecond);

void BM_ReadSRecord(benchmark::State& state) {
  const std::string text = FormatSRecord(SixteenMiB());
  for (auto _ : state) benchmark::DoNotOptimize(ParseSRecord(text, "bench.s28"));
  SetBytes(state, kImageBytes);
  state.counters["file_MiB"] = static_cast<double>(text.size()) / (1 << 20);
}
BENCHMARK(BM_ReadSRecord)->Unit(benchmark::kMillisecond);

// The JSON form of an image of many small segments: each is two keys of the
// bag, and neither reading nor writing may search the keys (argument: the
// number of segments; the time per segment should not grow with it).
void BM_JsonManySegments(benchmark::State& state) {
  ImageFile file;
  file.Regions.emplace_back();
  for (int32_t k = 0; k < state.range(0); ++k) {
    file.Regions[0].Image->Add(4 * k, std::vector<uint8_t>{0xAA, 0xBB});
  }
  for (auto _ : state) {
    const std::string text = FormatImage(file, FileFormat::kJson);
    benchmark::DoNotOptimize(ParseImage(text, FileFormat::kJson, "bench.json"));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_JsonManySegments)->Arg(10000)->Arg(80000)->Unit(benchmark::kMillisecond);

// The hexadecimal text of a 64 MiB frame, as `ombrix crc -` reads it.
void BM_CrcCommand(benchmark::State& state) {
  std::string text(64 << 20, '0');
  std::mt19937 random(3);
  for (char& c : text) c = "0123456789ABCDEF"[random() % 16];
  for (auto _ : state) benchmark::DoNotOptimize(cli::CrcOfHexText(text));
  SetBytes(state, static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_CrcCommand)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ombrix::formats
