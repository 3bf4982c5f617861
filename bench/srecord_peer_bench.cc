// The memory-image benchmarks' peer: srecord's memory class, doing the same
// work through its byte-wise interface. A chunk is refused when any of its
// bytes is already set (as MemoryImage.Add refuses an overlap), and an
// 8-byte read gives nothing unless every byte is set (as MemoryRead does).
// Same chunks, same reads as memory_bench.cc; BM_FirstReadBesideSrecord
// times the image's first reads and srecord's in turn, for their ratio.
#include <benchmark/benchmark.h>
#include <srecord/memory.h>

#include <array>
#include <chrono>
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

srecord::memory& MemoryOf(srecord::memory& memory, const std::vector<int32_t>& addresses) {
  for (const int32_t address : addresses) AddChunk(memory, static_cast<unsigned long>(address));
  return memory;
}

// An 8-byte read at each start, giving nothing unless every byte is set.
void ReadAll(const srecord::memory& memory, const std::vector<int32_t>& starts) {
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

void BM_SrecordRead(benchmark::State& state) {
  const auto addresses = ChunkAddresses(state.range(0), true);
  srecord::memory memory;
  MemoryOf(memory, addresses);
  const auto starts = ReadStarts(addresses);
  for (auto _ : state) ReadAll(memory, starts);
  state.counters["per_read"] = PerItem(state.range(0));
}

// The image's first reads (MemoryRead, right after building) and srecord's
// reads of the same stretches, timed in turn within each iteration, so
// that a busy machine slows both alike; `ratio` is the image's time over
// srecord's.
void BM_FirstReadBesideSrecord(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const auto addresses = ChunkAddresses(state.range(0), true);
  srecord::memory memory;
  MemoryOf(memory, addresses);
  const auto starts = ReadStarts(addresses);
  Clock::duration image_time{}, srecord_time{};
  for (auto _ : state) {
    state.PauseTiming();
    auto image = ImageOf(addresses);
    state.ResumeTiming();
    const auto start = Clock::now();
    for (const int32_t read : starts) benchmark::DoNotOptimize(image->MemoryRead(read, 8));
    const auto middle = Clock::now();
    ReadAll(memory, starts);
    const auto end = Clock::now();
    image_time += middle - start;
    srecord_time += end - middle;
    state.PauseTiming();
    image.reset();
    state.ResumeTiming();
  }
  const auto reads = static_cast<double>(state.iterations()) * static_cast<double>(starts.size());
  const auto nanoseconds = [&](Clock::duration time) {
    return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(time).count());
  };
  state.counters["image_per_read_ns"] = nanoseconds(image_time) / reads;
  state.counters["srecord_per_read_ns"] = nanoseconds(srecord_time) / reads;
  state.counters["ratio"] = nanoseconds(image_time) / nanoseconds(srecord_time);
}

BENCHMARK(BM_SrecordBuild)
    ->ArgNames({"chunks", "shuffled"})
    ->ArgsProduct({{10000, 100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SrecordRead)->Apply(AtChunkCounts);
BENCHMARK(BM_FirstReadBesideSrecord)
    ->ArgName("chunks")
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ombrix
