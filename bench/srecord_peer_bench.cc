// The memory-image benchmarks' peer: srecord's memory class, doing the same
// work through its byte-wise interface. A chunk is refused when any of its
// bytes is already set (as MemoryImage.Add refuses an overlap), and an
// 8-byte read gives nothing unless every byte is set (as MemoryRead does).
// Same chunks, same reads as memory_bench.cc.
#include <benchmark/benchmark.h>
#include <srecord/memory.h>

#include <array>
#include <cstdint>
#include <vector>

#include "memory_bench_data.h"

namespace ombrix {
namespace {

bool AddChunk(srecord::memory& memory, unsigned long address) {
  for (unsigned long k = 0; k < kChunk; ++k) {
    if (memory.set_p(address + k)) return false;
  }
  for (unsigned long k = 0; k < kChunk; ++k) memory.set(address + k, 0x5A);
  return true;
}

void BM_SrecordBuild(benchmark::State& state) {
  const auto addresses = ChunkAddresses(state.range(0), state.range(1) != 0);
  for (auto _ : state) {
    srecord::memory memory;
    for (const int32_t address : addresses) {
      benchmark::DoNotOptimize(AddChunk(memory, static_cast<unsigned long>(address)));
    }
  }
  state.counters["per_chunk"] = PerItem(state.range(0));
}

void BM_SrecordRead(benchmark::State& state) {
  const auto addresses = ChunkAddresses(state.range(0), true);
  srecord::memory memory;
  for (const int32_t address : addresses) AddChunk(memory, static_cast<unsigned long>(address));
  const auto starts = ReadStarts(addresses);
  for (auto _ : state) {
    for (const int32_t start : starts) {
      std::array<uint8_t, 8> bytes{};
      bool whole = true;
      for (unsigned long k = 0; k < bytes.size() && whole; ++k) {
        const unsigned long address = static_cast<unsigned long>(start) + k;
        whole = memory.set_p(address);
        if (whole) bytes[k] = static_cast<uint8_t>(memory.get(address));
      }
      benchmark::DoNotOptimize(bytes);
      benchmark::DoNotOptimize(whole);
    }
  }
  state.counters["per_read"] = PerItem(state.range(0));
}

BENCHMARK(BM_SrecordBuild)
    ->ArgNames({"chunks", "shuffled"})
    ->ArgsProduct({{10000, 100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SrecordRead)
    ->ArgName("chunks")
    ->ComputeStatistics("min", Fastest)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ombrix
