// The conveniences beside their references: Bytes() of an array (inline:
// a pointer and a size), through the interface and of a view (one virtual
// call and a bounds check), an array made from a span beside the
// std::vector copy that is its floor, and the one-call CRC of a 64-byte
// span beside the kernel it calls.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>
#include <vector>

#include "ombrix/bytes/byte_array.h"
#include "ombrix/checksum/crc.h"
#include "ombrix/checksum/crc_internal.h"

namespace ombrix {
namespace {

void BM_BytesOfArray(benchmark::State& state) {
  auto array = ByteArray::New(std::vector<uint8_t>(64, 1));
  ByteArray& bytes = *array;
  for (auto _ : state) {
    benchmark::DoNotOptimize(bytes);
    benchmark::DoNotOptimize(bytes.Bytes());
  }
}
BENCHMARK(BM_BytesOfArray);

void BM_BytesThroughTheInterface(benchmark::State& state) {
  auto array = ByteArray::New(std::vector<uint8_t>(64, 1));
  IByteArray& bytes = *array;
  for (auto _ : state) benchmark::DoNotOptimize(bytes.Bytes());
}
BENCHMARK(BM_BytesThroughTheInterface);

void BM_BytesOfView(benchmark::State& state) {
  auto array = ByteArray::New(std::vector<uint8_t>(64, 1));
  auto view = array->Interval(9, 8);
  for (auto _ : state) benchmark::DoNotOptimize(view->Bytes());
}
BENCHMARK(BM_BytesOfView);

void BM_NewFromSpan(benchmark::State& state) {
  const std::vector<uint8_t> bytes(static_cast<size_t>(state.range(0)), 0x5A);
  for (auto _ : state) benchmark::DoNotOptimize(ByteArray::New(bytes));
}
BENCHMARK(BM_NewFromSpan)->Arg(8)->Arg(1024);

void BM_VectorCopy(benchmark::State& state) {
  const std::vector<uint8_t> bytes(static_cast<size_t>(state.range(0)), 0x5A);
  for (auto _ : state) {
    std::vector<uint8_t> copy(bytes);
    benchmark::DoNotOptimize(copy.data());
  }
}
BENCHMARK(BM_VectorCopy)->Arg(8)->Arg(1024);

void BM_CrcOfSpan(benchmark::State& state) {
  std::vector<uint8_t> bytes(64, 0x5A);
  for (auto _ : state) {
    benchmark::DoNotOptimize(bytes.data());
    benchmark::DoNotOptimize(CRC::Of(bytes));
  }
}
BENCHMARK(BM_CrcOfSpan);

void BM_CrcKernelOfSpan(benchmark::State& state) {
  std::vector<uint8_t> bytes(64, 0x5A);
  for (auto _ : state) {
    benchmark::DoNotOptimize(bytes.data());
    benchmark::DoNotOptimize(~detail::Crc16(0xFFFF, bytes.data(), bytes.size()));
  }
}
BENCHMARK(BM_CrcKernelOfSpan);

}  // namespace
}  // namespace ombrix
