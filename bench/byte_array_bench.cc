// ByteArray's block members on 1 MiB beside std::memcpy of the same size,
// the plain loops the fast kernels replace, single-byte access, and the
// making of short arrays (a frame, a read from an image).
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ombrix/bytes/byte_array.h"
#include "ombrix/bytes/byte_array_interval.h"
#include "ombrix/bytes/byte_kernels_internal.h"
#include "ombrix/bytes/hex_text_internal.h"

namespace ombrix {
namespace {

constexpr int32_t kMiB = 1 << 20;

std::shared_ptr<ByteArray> RandomArray(int32_t count) {
  auto array = ByteArray::New();
  array->Count(count);
  std::mt19937 random(1);
  for (int32_t i = 1; i <= count; ++i) array->Item(i, static_cast<int32_t>(random()));
  return array;
}

void SetBytes(benchmark::State& state, int64_t bytes_per_iteration) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes_per_iteration);
}

void BM_Memcpy(benchmark::State& state) {
  std::vector<uint8_t> source(kMiB, 1), dest(kMiB);
  for (auto _ : state) {
    std::memcpy(dest.data(), source.data(), kMiB);
    benchmark::DoNotOptimize(dest.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, kMiB);
}
BENCHMARK(BM_Memcpy);

// A new array of `count` bytes and its release, as a read's result costs.
void BM_NewShort(benchmark::State& state) {
  const std::vector<uint8_t> bytes(static_cast<size_t>(state.range(0)), 0x5A);
  for (auto _ : state) benchmark::DoNotOptimize(ByteArray::New(bytes, 0x1000));
}
BENCHMARK(BM_NewShort)->ArgName("bytes")->Arg(8)->Arg(16)->Arg(64);

void BM_TextGet(benchmark::State& state) {
  auto array = RandomArray(kMiB);
  for (auto _ : state) benchmark::DoNotOptimize(array->Text());
  SetBytes(state, kMiB);
}
BENCHMARK(BM_TextGet);

void BM_TextGetTableLoop(benchmark::State& state) {
  const Variant value = RandomArray(kMiB)->Value();
  const uint8_t* bytes = value.ByteArray()->data();
  for (auto _ : state) {
    std::string text(2 * static_cast<size_t>(kMiB), '\0');
    detail::EncodeHexReference(bytes, kMiB, text.data());
    benchmark::DoNotOptimize(text);
  }
  SetBytes(state, kMiB);
}
BENCHMARK(BM_TextGetTableLoop);

void BM_TextLet(benchmark::State& state) {
  auto array = RandomArray(kMiB);
  const std::string text = array->Text();
  for (auto _ : state) {
    array->Text(text);
    benchmark::ClobberMemory();
  }
  SetBytes(state, kMiB);
}
BENCHMARK(BM_TextLet);

void BM_TextLetTableLoop(benchmark::State& state) {
  const std::string text = RandomArray(kMiB)->Text();
  std::vector<uint8_t> bytes(kMiB);
  for (auto _ : state) {
    benchmark::DoNotOptimize(detail::DecodeHexReference(text.data(), bytes.size(), bytes.data()));
    benchmark::ClobberMemory();
  }
  SetBytes(state, kMiB);
}
BENCHMARK(BM_TextLetTableLoop);

void BM_Sum(benchmark::State& state) {
  auto array = RandomArray(kMiB);
  for (auto _ : state) benchmark::DoNotOptimize(array->Sum());
  SetBytes(state, kMiB);
}
BENCHMARK(BM_Sum);

void BM_SumPlainLoop(benchmark::State& state) {
  auto array = RandomArray(kMiB);
  const Variant value = array->Value();
  const uint8_t* data = value.ByteArray()->data();
  for (auto _ : state) benchmark::DoNotOptimize(detail::SumBytesReference(data, kMiB));
  SetBytes(state, kMiB);
}
BENCHMARK(BM_SumPlainLoop);

void BM_Fill(benchmark::State& state) {
  auto array = RandomArray(kMiB);
  for (auto _ : state) {
    array->Fill(0x55);
    benchmark::ClobberMemory();
  }
  SetBytes(state, kMiB);
}
BENCHMARK(BM_Fill);

void BM_Skip(benchmark::State& state) {
  auto array = ByteArray::New();
  array->Count(kMiB);
  for (auto _ : state) benchmark::DoNotOptimize(array->Skip(0, 1));
  SetBytes(state, kMiB);
}
BENCHMARK(BM_Skip);

void BM_SkipPlainLoop(benchmark::State& state) {
  const std::vector<uint8_t> zeros(kMiB);
  for (auto _ : state) {
    benchmark::DoNotOptimize(detail::CountEqualReference(zeros.data(), zeros.size(), 0));
  }
  SetBytes(state, kMiB);
}
BENCHMARK(BM_SkipPlainLoop);

void BM_CopyLet(benchmark::State& state) {
  auto source = RandomArray(kMiB);
  auto dest = RandomArray(kMiB);
  for (auto _ : state) {
    dest->Copy(*source);
    benchmark::ClobberMemory();
  }
  SetBytes(state, kMiB);
}
BENCHMARK(BM_CopyLet);

void BM_ValueGet(benchmark::State& state) {
  auto array = RandomArray(kMiB);
  for (auto _ : state) benchmark::DoNotOptimize(array->Value());
  SetBytes(state, kMiB);
}
BENCHMARK(BM_ValueGet);

void BM_ValueLet(benchmark::State& state) {
  auto array = RandomArray(kMiB);
  const Variant value = array->Value();
  for (auto _ : state) {
    array->Value(value);
    benchmark::ClobberMemory();
  }
  SetBytes(state, kMiB);
}
BENCHMARK(BM_ValueLet);

// Single bytes, through the interface (as a client holding IByteArray& calls
// them) or through the object's own final type.
template <typename Array>
void ItemLoop(benchmark::State& state, Array& array) {
  const int32_t low = array.LowIndex();
  const int32_t count = array.Count();
  for (auto _ : state) {
    int32_t sum = 0;
    for (int32_t i = low; i < low + count; ++i) sum += array.Item(i);
    for (int32_t i = low; i < low + count; ++i) array.Item(i, sum + i);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 2 * count);
}

void BM_ItemGetLetArray(benchmark::State& state) {
  auto array = RandomArray(4096);
  ItemLoop<IByteArray>(state, *array);
}
BENCHMARK(BM_ItemGetLetArray);

void BM_ItemGetLetArrayOwnType(benchmark::State& state) {
  auto array = RandomArray(4096);
  ItemLoop(state, *array);
}
BENCHMARK(BM_ItemGetLetArrayOwnType);

void BM_ItemGetLetIntervalView(benchmark::State& state) {
  auto parent = RandomArray(4096 + 16);
  auto view = parent->Interval(9, 4096);
  ItemLoop<IByteArray>(state, *view);
}
BENCHMARK(BM_ItemGetLetIntervalView);

void BM_ItemGetLetIntervalViewOwnType(benchmark::State& state) {
  auto parent = RandomArray(4096 + 16);
  auto view = std::dynamic_pointer_cast<ByteArrayInterval>(parent->Interval(9, 4096));
  ItemLoop(state, *view);
}
BENCHMARK(BM_ItemGetLetIntervalViewOwnType);

// Copy let of a 1 MiB view into an overlapping view of the same parent.
void BM_ViewCopyOverlapping(benchmark::State& state) {
  auto parent = RandomArray(kMiB + 4096);
  auto source = parent->Interval(1, kMiB);
  auto dest = parent->Interval(4097, kMiB);
  for (auto _ : state) {
    dest->Copy(*source);
    benchmark::ClobberMemory();
  }
  SetBytes(state, kMiB);
}
BENCHMARK(BM_ViewCopyOverlapping);

void BM_MemmoveOverlapping(benchmark::State& state) {
  std::vector<uint8_t> buffer(kMiB + 4096, 1);
  for (auto _ : state) {
    std::memmove(buffer.data() + 4096, buffer.data(), kMiB);
    benchmark::ClobberMemory();
  }
  SetBytes(state, kMiB);
}
BENCHMARK(BM_MemmoveOverlapping);

}  // namespace
}  // namespace ombrix
