// CRC::Append on plain arrays and a view, beside std::memcpy of the same
// size and every kernel (the bit-by-bit loop included) on the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "ombrix/bytes/byte_array.h"
#include "ombrix/checksum/crc.h"
#include "ombrix/checksum/crc_internal.h"

namespace ombrix {
namespace {

std::shared_ptr<ByteArray> RandomArray(int64_t count) {
  auto array = ByteArray::New();
  array->Count(static_cast<int32_t>(count));
  std::mt19937 random(1);
  for (int32_t i = 1; i <= array->Count(); ++i) array->Item(i, static_cast<int32_t>(random()));
  return array;
}

void BM_Memcpy(benchmark::State& state) {
  const auto size = static_cast<size_t>(state.range(0));
  std::vector<uint8_t> source(size, 1), dest(size);
  for (auto _ : state) {
    std::memcpy(dest.data(), source.data(), size);
    benchmark::DoNotOptimize(dest.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_AppendArray(benchmark::State& state) {
  auto array = RandomArray(state.range(0));
  auto crc = CRC::New();
  for (auto _ : state) {
    crc->Append(*array);
    benchmark::DoNotOptimize(crc->Register());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_AppendView(benchmark::State& state) {
  auto parent = RandomArray(state.range(0) + 3);
  auto view = parent->Interval(3, static_cast<int32_t>(state.range(0)));
  auto crc = CRC::New();
  for (auto _ : state) {
    crc->Append(*view);
    benchmark::DoNotOptimize(crc->Register());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

template <uint16_t (*Kernel)(uint16_t, const uint8_t*, size_t) noexcept>
void BM_Kernel(benchmark::State& state) {
  const auto size = static_cast<size_t>(state.range(0));
  std::vector<uint8_t> data(size, 0x5A);
  uint16_t crc = 0xFFFF;
  for (auto _ : state) {
    crc = Kernel(crc, data.data(), size);
    benchmark::DoNotOptimize(crc);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

#define SIZES ->Arg(16)->Arg(64)->Arg(1024)->Arg(1 << 20)
BENCHMARK(BM_Memcpy) SIZES;
BENCHMARK(BM_AppendArray) SIZES;
BENCHMARK(BM_AppendView) SIZES;
BENCHMARK_TEMPLATE(BM_Kernel, detail::Crc16Reference) SIZES;
BENCHMARK_TEMPLATE(BM_Kernel, detail::Crc16Table) SIZES;
BENCHMARK_TEMPLATE(BM_Kernel, detail::Crc16Clmul) SIZES;
BENCHMARK_TEMPLATE(BM_Kernel, detail::Crc16Clmul256) SIZES;
BENCHMARK_TEMPLATE(BM_Kernel, detail::Crc16Clmul512) SIZES;
// The kernel CRC.Append calls, which picks one of the above by size and CPU.
BENCHMARK_TEMPLATE(BM_Kernel, detail::Crc16) SIZES;
#undef SIZES

}  // namespace
}  // namespace ombrix
