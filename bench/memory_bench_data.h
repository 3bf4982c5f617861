// The chunks and reads shared by the memory-image benchmark and its peer.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "ombrix/bytes/byte_array.h"
#include "ombrix/memory/memory_image.h"

namespace ombrix {

inline constexpr int32_t kChunk = 16;

// Chunk addresses: each follows the previous one directly or after a gap;
// about half of the chunks touch the one before.
inline std::vector<int32_t> ChunkAddresses(int64_t count, bool shuffled) {
  std::mt19937 random(9);
  std::vector<int32_t> addresses;
  int32_t next = 0;
  for (int64_t k = 0; k < count; ++k) {
    addresses.push_back(next);
    next += kChunk + (random() % 2 == 0 ? 0 : kChunk);
  }
  if (shuffled) std::shuffle(addresses.begin(), addresses.end(), random);
  return addresses;
}

// As many 8-byte read addresses as there are chunks, each inside a chunk.
inline std::vector<int32_t> ReadStarts(const std::vector<int32_t>& addresses) {
  std::mt19937 random(4);
  std::vector<int32_t> starts(addresses.size());
  for (auto& start : starts)
    start = addresses[random() % addresses.size()] + static_cast<int32_t>(random() % 9);
  return starts;
}

// The image of 16-byte chunks at `addresses`, in their order.
inline std::shared_ptr<MemoryImage> ImageOf(const std::vector<int32_t>& addresses) {
  auto image = MemoryImage::New();
  auto chunk = ByteArray::New();
  chunk->Count(kChunk);
  for (const int32_t address : addresses) {
    chunk->LowIndex(address);
    image->Add(*chunk);
  }
  return image;
}

// A counter giving the time per item.
inline benchmark::Counter PerItem(int64_t items) {
  return benchmark::Counter(
      static_cast<double>(items),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The fastest repetition, which a busy machine disturbs least: add it with
// ->ComputeStatistics("min", Fastest) and compare it across benchmarks.
inline double Fastest(const std::vector<double>& times) {
  return *std::min_element(times.begin(), times.end());
}

// Runs a benchmark at 10,000 and 100,000 chunks, in milliseconds, with the
// fastest repetition beside the others: ->Apply(AtChunkCounts).
inline void AtChunkCounts(benchmark::internal::Benchmark* registered) {
  registered->ArgName("chunks")
      ->Arg(10000)
      ->Arg(100000)
      ->ComputeStatistics("min", Fastest)
      ->Unit(benchmark::kMillisecond);
}

}  // namespace ombrix
