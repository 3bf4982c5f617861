// Enumeration lookups in both directions on 16 and 1,000 pairs, the wanted
// pair last (the worst case of a scan), and building lists of up to 10^6
// pairs (Add must stay amortised constant time).
#include <benchmark/benchmark.h>

#include <string>

#include "ombrix/fields/enumeration.h"

namespace ombrix {
namespace {

std::shared_ptr<Enumeration> List(int32_t pairs) {
  auto list = Enumeration::New();
  for (int32_t k = 0; k < pairs; ++k) list->Add("State " + std::to_string(k), 1000 + k);
  return list;
}

void BM_EnumerationText(benchmark::State& state) {
  const auto pairs = static_cast<int32_t>(state.range(0));
  auto list = List(pairs);
  for (auto _ : state) benchmark::DoNotOptimize(list->Text(1000 + pairs - 1));
}
BENCHMARK(BM_EnumerationText)->Arg(16)->Arg(1000);

void BM_EnumerationValue(benchmark::State& state) {
  const auto pairs = static_cast<int32_t>(state.range(0));
  auto list = List(pairs);
  const std::string wanted = "State " + std::to_string(pairs - 1);
  for (auto _ : state) benchmark::DoNotOptimize(list->Value(wanted));
}
BENCHMARK(BM_EnumerationValue)->Arg(16)->Arg(1000);

void BM_EnumerationBuild(benchmark::State& state) {
  const auto pairs = static_cast<int32_t>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(List(pairs));
  state.SetItemsProcessed(state.iterations() * pairs);
}
BENCHMARK(BM_EnumerationBuild)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ombrix
