// What late binding adds to a call: a byte read and a scaled value read
// made statically, by member number and by name, in C++ and through the
// component server's C interface.
#include <benchmark/benchmark.h>

#include "ombrix/automation/late_binding.h"
#include "ombrix/ombrix_c.h"

namespace ombrix::automation {
namespace {

std::shared_ptr<ByteArray> Frame() { return ByteArray::New({1, 2, 3, 4, 5, 6, 7, 8}); }

std::shared_ptr<ScaledValue> Speed(const std::shared_ptr<ByteArray>& frame) {
  auto field = BigEndian::New();
  field->RefersTo(*frame, 4, 12, false);
  auto speed = ScaledValue::New();
  speed->RefersTo(field);
  speed->CoeffA(0.25);
  return speed;
}

void BM_ItemStatic(benchmark::State& state) {
  const std::shared_ptr<IByteArray> frame = Frame();
  int32_t index = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(frame->Item(index));
    index = index % 8 + 1;
  }
}
BENCHMARK(BM_ItemStatic);

void BM_ItemByNumber(benchmark::State& state) {
  const Object frame = Frame();
  const int32_t item = MemberNumber(frame, "Item");
  std::array<Value, 1> arguments;
  int32_t index = 1;
  for (auto _ : state) {
    arguments[0] = Value(Variant(index));
    benchmark::DoNotOptimize(Invoke(frame, item, Kinds(MemberKind::Get), arguments));
    index = index % 8 + 1;
  }
}
BENCHMARK(BM_ItemByNumber);

void BM_ItemByName(benchmark::State& state) {
  const Object frame = Frame();
  std::array<Value, 1> arguments;
  int32_t index = 1;
  for (auto _ : state) {
    arguments[0] = Value(Variant(index));
    benchmark::DoNotOptimize(Invoke(frame, "Item", Kinds(MemberKind::Get), arguments));
    index = index % 8 + 1;
  }
}
BENCHMARK(BM_ItemByName);

void BM_ScaledValueStatic(benchmark::State& state) {
  const auto frame = Frame();
  const auto speed = Speed(frame);
  for (auto _ : state) benchmark::DoNotOptimize(speed->Value());
}
BENCHMARK(BM_ScaledValueStatic);

void BM_ScaledValueByNumber(benchmark::State& state) {
  const auto frame = Frame();
  const Object speed = Speed(frame);
  const int32_t value = MemberNumber(speed, "Value");
  for (auto _ : state) {
    benchmark::DoNotOptimize(Invoke(speed, value, Kinds(MemberKind::Get), {}));
  }
}
BENCHMARK(BM_ScaledValueByNumber);

void BM_ScaledValueByName(benchmark::State& state) {
  const auto frame = Frame();
  const Object speed = Speed(frame);
  for (auto _ : state) {
    benchmark::DoNotOptimize(Invoke(speed, "Value", Kinds(MemberKind::Get), {}));
  }
}
BENCHMARK(BM_ScaledValueByName);

// Through the shared library, as a C caller makes the same calls.
void BM_ItemThroughC(benchmark::State& state, bool by_name) {
  ombrix_object* frame = nullptr;
  ombrix_create("ByteArray", &frame);
  ombrix_value hex = ombrix_text("0102030405060708", 16);
  ombrix_invoke(frame, "Text", OMBRIX_LET, &hex, 1, nullptr);
  int32_t item = 0;
  ombrix_member_number(frame, "Item", &item);
  ombrix_value result = ombrix_empty();
  int32_t index = 1;
  for (auto _ : state) {
    ombrix_value argument = ombrix_long(index);
    if (by_name) {
      ombrix_invoke(frame, "Item", OMBRIX_GET, &argument, 1, &result);
    } else {
      ombrix_invoke_number(frame, item, OMBRIX_GET, &argument, 1, &result);
    }
    benchmark::DoNotOptimize(result.as.long_value);
    index = index % 8 + 1;
  }
  ombrix_release(frame);
}
BENCHMARK_CAPTURE(BM_ItemThroughC, by_number, false);
BENCHMARK_CAPTURE(BM_ItemThroughC, by_name, true);

}  // namespace
}  // namespace ombrix::automation
