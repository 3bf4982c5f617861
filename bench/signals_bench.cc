// Decoding a message of ten signals (Intel and Motorola, signed, scaled)
// through its prepared codec, beside a decoder written by hand with shifts
// and masks for exactly those signals; and reading a DBC file of about
// 2 MB (900 messages of 16 signals, with comments, attributes and values).
#include <benchmark/benchmark.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/ten_signals.h"
#include "formats/dbc/dbc_file.h"
#include "ombrix/signals/message_codec.h"
#include "ombrix/signals/physical_text.h"

namespace ombrix {
namespace {

// The same ten signals, by hand: each read from the frame as one 64-bit
// little-endian word (the Motorola ones from its bytes), scaled.
void HandDecode(const uint8_t* frame, std::array<double, 10>& out) {
  uint64_t word = 0;
  for (int k = 7; k >= 0; --k) word = word << 8 | frame[k];
  const auto bits = [&](int low, int length) {
    return (word >> low) & ((uint64_t{1} << length) - 1);
  };
  out[0] = static_cast<double>(bits(0, 12)) * 0.1;
  out[1] = static_cast<double>(bits(12, 14)) * 0.5;
  const auto torque = static_cast<int64_t>(bits(26, 10) << 54) >> 54;
  out[2] = static_cast<double>(torque) - 100;
  out[3] = static_cast<double>(bits(36, 4));
  out[4] = static_cast<double>(bits(40, 8)) * 0.4;
  out[5] = static_cast<double>(frame[6]) - 40;               // 55|8@0: byte 6
  out[6] = static_cast<double>((frame[7] >> 2) & 0x3F) * 2;  // 63|6@0: byte 7, bits 7..2
  out[7] = static_cast<double>(bits(57, 1));
  out[8] = static_cast<double>(bits(58, 3));
  out[9] = static_cast<double>(bits(61, 3));
}

std::vector<std::array<uint8_t, 8>> Frames() {
  std::vector<std::array<uint8_t, 8>> frames(256);
  uint32_t state = 7;
  for (auto& frame : frames) {
    for (uint8_t& b : frame) b = static_cast<uint8_t>((state = state * 1103515245 + 12345) >> 16);
  }
  return frames;
}

void BM_DecodeTenSignals(benchmark::State& state) {
  const signals::SignalDatabase database = formats::ParseDbc(bench::kTenSignals);
  const signals::MessageCodec codec(database.Messages.front());
  const auto frames = Frames();
  std::vector<signals::DecodedSignal> out;
  size_t k = 0;
  for (auto _ : state) {
    codec.Decode(frames[k++ & 255], out);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_DecodeTenSignals);

void BM_DecodeTenValues(benchmark::State& state) {
  const signals::SignalDatabase database = formats::ParseDbc(bench::kTenSignals);
  const signals::MessageCodec codec(database.Messages.front());
  const auto frames = Frames();
  std::array<double, 10> out{};
  size_t k = 0;
  for (auto _ : state) {
    codec.DecodeValues(frames[k++ & 255], out);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DecodeTenValues);

// The ten physical values of each frame written as text, as a decoded
// trace writes them: the shortest text of each double through std::to_chars
// (arg 0), and the exact decimals of raw × factor + offset (arg 1).
void BM_WriteTenValues(benchmark::State& state) {
  const signals::SignalDatabase database = formats::ParseDbc(bench::kTenSignals);
  const signals::MessageCodec codec(database.Messages.front());
  std::vector<signals::PhysicalText> writers;
  for (const signals::Signal& signal : database.Messages.front().Signals) {
    writers.emplace_back(signal);
  }
  std::vector<std::vector<signals::DecodedSignal>> frames;
  for (const auto& frame : Frames()) frames.push_back(codec.Decode(frame));
  const bool exact = state.range(0) != 0;
  std::string text;
  size_t k = 0;
  for (auto _ : state) {
    text.clear();
    const auto& frame = frames[k++ & 255];
    for (size_t s = 0; s < frame.size(); ++s) {
      if (exact) {
        writers[s].Append(text, frame[s]);
      } else {
        char number[32];
        text.append(number, std::to_chars(number, number + sizeof number, frame[s].Value).ptr);
      }
      text += ',';
    }
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_WriteTenValues)->ArgName("exact")->Arg(0)->Arg(1);

void BM_DecodeTenSignalsByHand(benchmark::State& state) {
  const auto frames = Frames();
  std::array<double, 10> out{};
  size_t k = 0;
  for (auto _ : state) {
    HandDecode(frames[k++ & 255].data(), out);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DecodeTenSignalsByHand);

std::string LargeDbc() {
  std::string text = "VERSION \"\"\n\nBU_: ECU X\n\n";
  std::string tail =
      "BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 65535;\nBA_DEF_DEF_ \"GenMsgCycleTime\" 100;\n";
  for (int m = 0; m < 900; ++m) {
    const std::string id = std::to_string(0x100 + m);
    text += "BO_ " + id + " Message" + std::to_string(m) + ": 8 ECU\n";
    for (int s = 0; s < 16; ++s) {
      const std::string name = "Signal" + std::to_string(m) + "_" + std::to_string(s);
      text += " SG_ " + name + " : " + std::to_string(4 * s) +
              "|4@1+ (0.25,-10) [-10|-6.25] \"unit\" X\n";
      tail += "CM_ SG_ " + id + " " + name + " \"What signal " + name + " measures\";\n";
      if (s % 4 == 0) tail += "VAL_ " + id + " " + name + " 0 \"Off\" 1 \"On\" 15 \"Error\" ;\n";
    }
    text += "\n";
    tail += "BA_ \"GenMsgCycleTime\" BO_ " + id + " 20;\n";
  }
  return text + tail;
}

void BM_ReadLargeDbc(benchmark::State& state) {
  const std::string text = LargeDbc();
  for (auto _ : state) {
    const auto database = formats::ParseDbc(text);
    benchmark::DoNotOptimize(database.Messages.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_ReadLargeDbc)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ombrix
