// Building a memory image from 16-byte chunks in ascending and in shuffled
// order (about half of them touching the one before), beside a plain
// std::map from address to bytes that merges touching chunks; then random
// 8-byte reads, and the first hand-out of every array. Counters give the
// time per chunk and per read, at 10,000 and 100,000 chunks; beside them,
// the latency of a far load at the same working-set sizes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include "memory_bench_data.h"
#include "ombrix/bytes/byte_array.h"
#include "ombrix/memory/memory_image.h"

namespace ombrix {
namespace {

void BM_ImageBuild(benchmark::State& state) {
  const auto addresses = ChunkAddresses(state.range(0), state.range(1) != 0);
  auto chunk = ByteArray::New();
  chunk->Count(kChunk);
  chunk->Fill(0x5A);
  for (auto _ : state) {
    auto image = MemoryImage::New();
    for (const int32_t address : addresses) {
      chunk->LowIndex(address);
      image->Add(*chunk);
    }
    benchmark::DoNotOptimize(image->Count());
  }
  state.counters["per_chunk"] = PerItem(state.range(0));
}

void BM_StdMapBuild(benchmark::State& state) {
  const auto addresses = ChunkAddresses(state.range(0), state.range(1) != 0);
  const std::vector<uint8_t> chunk(kChunk, 0x5A);
  for (auto _ : state) {
    std::map<int32_t, std::vector<uint8_t>> image;
    for (const int32_t address : addresses) {
      auto next = image.lower_bound(address);
      auto holder = image.end();
      if (next != image.begin()) {
        auto previous = std::prev(next);
        if (previous->first + static_cast<int32_t>(previous->second.size()) == address) {
          previous->second.insert(previous->second.end(), chunk.begin(), chunk.end());
          holder = previous;
        }
      }
      if (holder == image.end()) holder = image.emplace_hint(next, address, chunk);
      if (next != image.end() && next->first == address + kChunk) {
        holder->second.insert(holder->second.end(), next->second.begin(), next->second.end());
        image.erase(next);
      }
    }
    benchmark::DoNotOptimize(image.size());
  }
  state.counters["per_chunk"] = PerItem(state.range(0));
}

void BM_ImageRead(benchmark::State& state) {
  const auto addresses = ChunkAddresses(state.range(0), true);
  const auto image = ImageOf(addresses);
  const auto starts = ReadStarts(addresses);
  for (auto _ : state) {
    for (const int32_t start : starts) benchmark::DoNotOptimize(image->MemoryRead(start, 8));
  }
  state.counters["per_read"] = PerItem(state.range(0));
}

// Each iteration builds a fresh image of `addresses` untimed, then times
// `work(image)`.
template <typename Work>
void OnFreshImages(benchmark::State& state, const std::vector<int32_t>& addresses, Work work) {
  for (auto _ : state) {
    state.PauseTiming();
    auto image = ImageOf(addresses);
    state.ResumeTiming();
    work(*image);
    state.PauseTiming();
    image.reset();
    state.ResumeTiming();
  }
}

// The reads right after building, the image's read index included: one
// per chunk with `read` (image, address), or the first `count`.
template <typename Read>
void FirstReads(benchmark::State& state, Read read, size_t count = SIZE_MAX) {
  const auto addresses = ChunkAddresses(state.range(0), true);
  auto starts = ReadStarts(addresses);
  starts.resize(std::min(starts.size(), count));
  OnFreshImages(state, addresses, [&](const MemoryImage& image) {
    for (const int32_t start : starts) read(image, start);
  });
  state.counters["per_read"] = PerItem(static_cast<int64_t>(starts.size()));
}

void BM_ImageFirstRead(benchmark::State& state) {
  FirstReads(state, [](const MemoryImage& image, int32_t start) {
    benchmark::DoNotOptimize(image.MemoryRead(start, 8));
  });
}

// A fresh image's first 512 reads: the read index is built during them,
// after a few hundred, and its build is most of their time.
void BM_ImageIndexBuild(benchmark::State& state) {
  FirstReads(
      state,
      [](const MemoryImage& image, int32_t start) {
        benchmark::DoNotOptimize(image.MemoryRead(start, 8));
      },
      512);
}

// The same into the caller's 8 bytes (ReadInto), as srecord's reads in
// srecord_peer_bench.cc fill theirs: the read without a result array.
void BM_ImageFirstReadInto(benchmark::State& state) {
  FirstReads(state, [](const MemoryImage& image, int32_t start) {
    std::array<uint8_t, 8> bytes;
    benchmark::DoNotOptimize(image.ReadInto(start, bytes));
    benchmark::DoNotOptimize(bytes);
  });
}

// Every array of a fresh image handed out once, as an enumeration of the
// image hands them out: the first hand-out makes each array from the bytes
// the image stored.
void BM_ImageFirstArrays(benchmark::State& state) {
  OnFreshImages(state, ChunkAddresses(state.range(0), false), [](const MemoryImage& image) {
    for (const auto& array : image) benchmark::DoNotOptimize(array->Count());
  });
  state.counters["per_chunk"] = PerItem(state.range(0));
}

// One load that misses, as a chain of dependent loads through a random
// cycle of cache lines filling `kib` KiB: the cost of a far read at the
// working-set sizes above. Reads of the 100,000-chunk image touch about
// 4 MiB of lines; on a shared machine this latency at 2 and 4 MiB
// moves from one minute to the next, and the reads' times with it, so it
// is worth reading beside them.
void BM_MemoryLatency(benchmark::State& state) {
  struct alignas(64) Line {
    size_t next;
  };
  const size_t lines = static_cast<size_t>(state.range(0)) * 1024 / sizeof(Line);
  std::vector<size_t> order(lines);
  for (size_t k = 0; k < lines; ++k) order[k] = k;
  std::shuffle(order.begin(), order.end(), std::mt19937(5));
  std::vector<Line> cycle(lines);
  for (size_t k = 0; k < lines; ++k) cycle[order[k]].next = order[(k + 1) % lines];
  constexpr size_t kLoads = 100000;
  size_t at = 0;
  for (auto _ : state) {
    for (size_t k = 0; k < kLoads; ++k) at = cycle[at].next;
    benchmark::DoNotOptimize(at);
  }
  state.counters["per_load"] = PerItem(kLoads);
}

BENCHMARK(BM_ImageBuild)
    ->ArgNames({"chunks", "shuffled"})
    ->ArgsProduct({{10000, 100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdMapBuild)
    ->ArgNames({"chunks", "shuffled"})
    ->ArgsProduct({{10000, 100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageRead)->Apply(AtChunkCounts);
BENCHMARK(BM_ImageFirstRead)->Apply(AtChunkCounts);
// Its timed part is short beside the untimed build of each fresh image.
BENCHMARK(BM_ImageIndexBuild)->Apply(AtChunkCounts)->MinTime(0.05);
BENCHMARK(BM_ImageFirstReadInto)->Apply(AtChunkCounts);
BENCHMARK(BM_ImageFirstArrays)->Apply(AtChunkCounts);
BENCHMARK(BM_MemoryLatency)
    ->ArgName("kib")
    ->RangeMultiplier(2)
    ->Range(1024, 8192)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ombrix
