// A 12-bit field at bit offset 4 of an 8-byte frame, read and written
// through LittleEndian and BigEndian, beside hand-written shift-and-mask
// code on a plain uint8_t[8]; and ScaledValue over the same item.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "ombrix/fields/big_endian.h"
#include "ombrix/fields/little_endian.h"
#include "ombrix/fields/scaled_value.h"

namespace ombrix {
namespace {

std::shared_ptr<ByteArray> Frame() {
  auto frame = ByteArray::New();
  frame->Text("5A3CC3A51F2E3D4B");
  return frame;
}

// Through the item's own class (Handle = LittleEndian or BigEndian, whose
// final members inline) or through the NumericItem interface (a virtual call).
template <typename Item, typename Handle>
void BM_FieldGet(benchmark::State& state) {
  auto frame = Frame();
  auto item = Item::New();
  item->RefersTo(*frame, 4, 12, state.range(0) != 0);
  Handle& field = *item;
  for (auto _ : state) benchmark::DoNotOptimize(field.Value());
}

template <typename Item, typename Handle>
void BM_FieldLet(benchmark::State& state) {
  auto frame = Frame();
  auto item = Item::New();
  item->RefersTo(*frame, 4, 12, state.range(0) != 0);
  Handle& field = *item;
  int32_t value = 0;
  for (auto _ : state) {
    field.Value(value);
    value = (value + 1) & 0x3FF;
    benchmark::ClobberMemory();
  }
}

BENCHMARK_TEMPLATE(BM_FieldGet, LittleEndian, LittleEndian)->ArgName("signed")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_FieldGet, BigEndian, BigEndian)->ArgName("signed")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_FieldLet, LittleEndian, LittleEndian)->ArgName("signed")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_FieldLet, BigEndian, BigEndian)->ArgName("signed")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_FieldGet, LittleEndian, NumericItem)->ArgName("signed")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_FieldGet, BigEndian, NumericItem)->ArgName("signed")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_FieldLet, LittleEndian, NumericItem)->ArgName("signed")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_FieldLet, BigEndian, NumericItem)->ArgName("signed")->Arg(0)->Arg(1);

// The same field by hand on a plain uint8_t[8]: Intel bits 4..15 (low byte first), Motorola bits
// 4..15 counted from the top of byte 0.
void BM_HandGetIntel(benchmark::State& state) {
  std::vector<uint8_t> buffer = {0x5A, 0x3C, 0xC3, 0xA5, 0x1F, 0x2E, 0x3D, 0x4B};
  uint8_t* frame = buffer.data();
  benchmark::DoNotOptimize(frame);
  for (auto _ : state) {
    benchmark::DoNotOptimize(((frame[0] | frame[1] << 8) >> 4) & 0xFFF);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_HandGetIntel);

void BM_HandGetMotorola(benchmark::State& state) {
  std::vector<uint8_t> buffer = {0x5A, 0x3C, 0xC3, 0xA5, 0x1F, 0x2E, 0x3D, 0x4B};
  uint8_t* frame = buffer.data();
  benchmark::DoNotOptimize(frame);
  for (auto _ : state) {
    benchmark::DoNotOptimize((frame[0] << 8 | frame[1]) & 0xFFF);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_HandGetMotorola);

// The same reads with the field's place known only at run time, as code
// driven by a table of signals has it: the byte offset, shift and mask are
// loaded with the frame at every read, and a 32-bit load takes the bytes.
struct HandField {
  const uint8_t* frame;
  uint32_t offset, shift, mask;
};
template <bool kMotorola>
void BM_HandGetRuntime(benchmark::State& state) {
  std::vector<uint8_t> buffer = {0x5A, 0x3C, 0xC3, 0xA5, 0x1F, 0x2E, 0x3D, 0x4B};
  HandField field = {buffer.data(), 0, kMotorola ? 20u : 4u, 0xFFF};
  benchmark::DoNotOptimize(field);
  for (auto _ : state) {
    uint32_t word;
    std::memcpy(&word, field.frame + field.offset, sizeof word);
    if (kMotorola) word = __builtin_bswap32(word);
    benchmark::DoNotOptimize((word >> field.shift) & field.mask);
    benchmark::ClobberMemory();
  }
}
BENCHMARK_TEMPLATE(BM_HandGetRuntime, false)->Name("BM_HandGetIntelRuntime");
BENCHMARK_TEMPLATE(BM_HandGetRuntime, true)->Name("BM_HandGetMotorolaRuntime");

void BM_HandLetIntel(benchmark::State& state) {
  std::vector<uint8_t> buffer = {0x5A, 0x3C, 0xC3, 0xA5, 0x1F, 0x2E, 0x3D, 0x4B};
  uint8_t* frame = buffer.data();
  benchmark::DoNotOptimize(frame);  // the frame lives in memory, as a received one does
  int32_t value = 0;
  for (auto _ : state) {
    const auto bits = static_cast<uint32_t>(value) << 4;
    frame[0] = static_cast<uint8_t>((frame[0] & 0x0F) | (bits & 0xF0));
    frame[1] = static_cast<uint8_t>(bits >> 8);
    value = (value + 1) & 0x3FF;
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_HandLetIntel);

void BM_HandLetMotorola(benchmark::State& state) {
  std::vector<uint8_t> buffer = {0x5A, 0x3C, 0xC3, 0xA5, 0x1F, 0x2E, 0x3D, 0x4B};
  uint8_t* frame = buffer.data();
  benchmark::DoNotOptimize(frame);  // the frame lives in memory, as a received one does
  int32_t value = 0;
  for (auto _ : state) {
    const auto bits = static_cast<uint32_t>(value);
    frame[0] = static_cast<uint8_t>((frame[0] & 0xF0) | (bits >> 8));
    frame[1] = static_cast<uint8_t>(bits);
    value = (value + 1) & 0x3FF;
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_HandLetMotorola);

// CoeffC 1 (the usual case) and CoeffC 3, which pays for a division.
void BM_ScaledValueGet(benchmark::State& state) {
  auto frame = Frame();
  auto item = LittleEndian::New();
  item->RefersTo(*frame, 4, 12, true);
  auto scaled = ScaledValue::New();
  scaled->RefersTo(item);
  scaled->CoeffA(0.1);
  scaled->CoeffB(-40);
  scaled->CoeffC(static_cast<double>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(scaled->Value());
}
BENCHMARK(BM_ScaledValueGet)->ArgName("CoeffC")->Arg(1)->Arg(3);

// What ScaledValue's get adds to: the item's own get through the interface.
void BM_ScaledValueItemGet(benchmark::State& state) {
  auto frame = Frame();
  auto item = LittleEndian::New();
  item->RefersTo(*frame, 4, 12, true);
  const NumericItem& field = *item;
  for (auto _ : state) benchmark::DoNotOptimize(field.Value());
}
BENCHMARK(BM_ScaledValueItemGet);

// Making a scaled value and a field, as a program that builds many request
// frames does: the user's number format is not looked up until Text needs it.
void BM_ScaledValueNew(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ScaledValue::New());
}
BENCHMARK(BM_ScaledValueNew);

void BM_FieldNew(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(LittleEndian::New());
}
BENCHMARK(BM_FieldNew);

}  // namespace
}  // namespace ombrix
