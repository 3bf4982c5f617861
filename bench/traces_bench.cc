// Reading a candump log of classic frames through the trace reader, beside
// a parser written by hand for exactly that line shape; and reading with
// each frame's ten signals decoded.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "bench/ten_signals.h"
#include "formats/dbc/dbc_file.h"
#include "ombrix/signals/message_codec.h"
#include "traces/trace_reader.h"

namespace ombrix::traces {
namespace {

constexpr int kFrames = 200'000;

const std::string& Log() {
  static const std::string text = [] {
    std::mt19937 random(1);
    std::string log;
    char line[96];
    for (int k = 0; k < kFrames; ++k) {
      const auto id = static_cast<unsigned>(k % 4 == 0 ? 0x100 : 0x100 + random() % 0x700);
      int n = std::snprintf(line, sizeof line, "(%d.%06d) can0 %03X#", 1700000000 + k / 1000,
                            (k % 1000) * 1000, id);
      for (int b = 0; b < 8; ++b)
        n += std::snprintf(line + n, 4, "%02X", static_cast<unsigned>(random() & 0xFF));
      log.append(line, static_cast<size_t>(n)).append("\n");
    }
    return log;
  }();
  return text;
}

int HexValue(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

// The reference: "(SECONDS.MICROS) can0 III#DDDDDDDDDDDDDDDD" and nothing else.
size_t ReadByHand(const std::string& text, Frame& frame) {
  size_t frames = 0;
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const char* line_end =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (line_end == nullptr) line_end = end;
    ++p;  // '('
    int64_t seconds = 0;
    while (*p != '.') seconds = seconds * 10 + (*p++ - '0');
    ++p;
    int64_t micros = 0;
    while (*p != ')') micros = micros * 10 + (*p++ - '0');
    frame.Time = seconds * 1'000'000'000 + micros * 1000;
    p = static_cast<const char*>(std::memchr(p + 2, ' ', static_cast<size_t>(line_end - p))) + 1;
    uint32_t id = 0;
    while (*p != '#') id = id << 4 | static_cast<uint32_t>(HexValue(*p++));
    frame.Id = id;
    ++p;
    uint8_t length = 0;
    while (p < line_end) {
      frame.Data[length++] = static_cast<uint8_t>(HexValue(p[0]) << 4 | HexValue(p[1]));
      p += 2;
    }
    frame.Length = length;
    p = line_end + 1;
    ++frames;
  }
  return frames;
}

void BM_ReadCandump(benchmark::State& state) {
  const std::string& text = Log();
  Frame frame;
  for (auto _ : state) {
    auto reader = ReadTraceText(text, TraceFormat::Candump);
    size_t frames = 0;
    while (reader->Next(frame)) ++frames;
    benchmark::DoNotOptimize(frames);
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadCandump)->Unit(benchmark::kMillisecond);

void BM_ReadCandumpByHand(benchmark::State& state) {
  const std::string& text = Log();
  Frame frame;
  for (auto _ : state) {
    // The same copy of the text the reader starts from.
    const std::string copy = text;
    benchmark::DoNotOptimize(ReadByHand(copy, frame));
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_ReadCandumpByHand)->Unit(benchmark::kMillisecond);

void BM_ReadAndDecodeTenSignals(benchmark::State& state) {
  const std::string& text = Log();
  const signals::SignalDatabase database = formats::ParseDbc(bench::kTenSignals);
  const signals::MessageCodec codec(database.Messages.front());
  std::array<double, 10> values{};
  Frame frame;
  for (auto _ : state) {
    auto reader = ReadTraceText(text, TraceFormat::Candump);
    double sum = 0;
    while (reader->Next(frame)) {
      if (frame.Id != 0x100 || frame.Extended) continue;
      codec.DecodeValues(frame.Bytes(), values);
      sum += values[0];
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_ReadAndDecodeTenSignals)->Unit(benchmark::kMillisecond);

// A BLF file of classic CAN messages in deflated containers of 128 KiB, as
// Vector's tools and python-can write them; and its containers' deflated
// bytes, for inflating alone.
struct BlfFile {
  std::string path;
  std::vector<std::pair<std::vector<uint8_t>, uLong>> containers;  // deflated, inflated size
};

template <typename T>
void Put(std::vector<uint8_t>& out, T value) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
  out.insert(out.end(), bytes, bytes + sizeof value);
}

const BlfFile& Blf() {
  static const BlfFile file = [] {
    BlfFile made;
    made.path = (std::filesystem::temp_directory_path() / "ombrix_bench.blf").string();
    std::vector<uint8_t> objects;
    std::mt19937 random(2);
    std::vector<uint8_t> out(144, 0);
    std::memcpy(out.data(), "LOGG", 4);
    const uint32_t header_size = 144;
    std::memcpy(out.data() + 4, &header_size, 4);
    const auto flush = [&] {
      std::vector<uint8_t> packed(compressBound(static_cast<uLong>(objects.size())));
      uLongf packed_size = static_cast<uLongf>(packed.size());
      compress2(packed.data(), &packed_size, objects.data(), static_cast<uLong>(objects.size()), 6);
      packed.resize(packed_size);
      const auto size = static_cast<uint32_t>(32 + packed.size());
      out.insert(out.end(), {'L', 'O', 'B', 'J'});
      Put<uint16_t>(out, 16);
      Put<uint16_t>(out, 1);
      Put<uint32_t>(out, size);
      Put<uint32_t>(out, 10);
      Put<uint16_t>(out, 2);
      out.insert(out.end(), 6, 0);
      Put<uint32_t>(out, static_cast<uint32_t>(objects.size()));
      out.insert(out.end(), 4, 0);
      out.insert(out.end(), packed.begin(), packed.end());
      out.insert(out.end(), size % 4, 0);
      made.containers.emplace_back(std::move(packed), static_cast<uLong>(objects.size()));
      objects.clear();
    };
    for (int k = 0; k < kFrames; ++k) {
      objects.insert(objects.end(), {'L', 'O', 'B', 'J'});
      Put<uint16_t>(objects, 32);
      Put<uint16_t>(objects, 1);
      Put<uint32_t>(objects, 48);
      Put<uint32_t>(objects, 1);  // CAN message
      Put<uint32_t>(objects, 2);  // nanoseconds
      Put<uint16_t>(objects, 0);
      Put<uint16_t>(objects, 0);
      Put<uint64_t>(objects, static_cast<uint64_t>(k) * 1'000'000);
      Put<uint16_t>(objects, 1);
      objects.push_back(0);
      objects.push_back(8);
      Put<uint32_t>(objects, static_cast<uint32_t>(0x100 + random() % 0x700));
      for (int b = 0; b < 8; ++b) objects.push_back(static_cast<uint8_t>(random()));
      if (objects.size() >= 128 * 1024) flush();
    }
    flush();
    std::ofstream(made.path, std::ios::binary)
        .write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return made;
  }();
  return file;
}

void BM_ReadBlf(benchmark::State& state) {
  const BlfFile& file = Blf();
  Frame frame;
  for (auto _ : state) {
    auto reader = OpenTrace(file.path);
    size_t frames = 0;
    while (reader->Next(frame)) ++frames;
    if (frames != kFrames) state.SkipWithError("frames lost");
    benchmark::DoNotOptimize(frames);
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_ReadBlf)->Unit(benchmark::kMillisecond);

// zlib inflating the same containers and nothing else: the floor for BLF.
void BM_InflateBlfContainers(benchmark::State& state) {
  const BlfFile& file = Blf();
  std::vector<uint8_t> out;
  for (auto _ : state) {
    for (const auto& [packed, size] : file.containers) {
      out.resize(size);
      uLongf done = size;
      uncompress(out.data(), &done, packed.data(), static_cast<uLong>(packed.size()));
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_InflateBlfContainers)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ombrix::traces
