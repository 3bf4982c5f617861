// Converting a 32 MiB image from Intel HEX to S-records with the ombrix
// program and, in the same run, with GNU objcopy where it is installed: each
// run is a process of its own, so its peak memory is its own. Two layouts:
// the 32 MiB at address 0, and halves at 08000000 and 90000000, more than
// 2 GiB apart (internal and external flash).
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "formats/image/image_file.h"

extern char** environ;

namespace ombrix::formats {
namespace {

constexpr int32_t kImageBytes = 32 << 20;
constexpr int32_t kSparseBytes = 1000000;

// The layouts, by benchmark argument.
enum Layout { kAtZero, kTwoRegions, kSparse };

// Random bytes written once as Intel HEX: 32 MiB all at 0, or in two halves
// more than 2 GiB apart; or a million single bytes two addresses apart, each
// a record and an array of its own.
const std::string& IntelHexFile(int64_t layout) {
  const auto make = [](Layout chosen) {
    const auto folder = std::filesystem::temp_directory_path() / "ombrix_conversion_bench";
    std::filesystem::create_directories(folder);
    const char* names[] = {"one.hex", "two.hex", "sparse.hex"};
    const std::string file = (folder / names[chosen]).string();
    std::mt19937 random(4);
    std::vector<uint8_t> bytes(chosen == kSparse ? kSparseBytes : kImageBytes);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
    ImageFile image;
    const std::span<const uint8_t> all(bytes);
    if (chosen == kTwoRegions) {
      image.Regions = {{0x08000000, MemoryImage::New()}, {0x90000000, MemoryImage::New()}};
      image.Regions[0].Image->Add(0, all.first(kImageBytes / 2));
      image.Regions[1].Image->Add(0, all.subspan(kImageBytes / 2));
    } else {
      image.Regions = {{0, MemoryImage::New()}};
      if (chosen == kSparse) {
        for (int32_t k = 0; k < kSparseBytes; ++k)
          image.Regions[0].Image->Add(2 * k, all.subspan(k, 1));
      } else {
        image.Regions[0].Image->Add(0, all);
      }
    }
    WriteImageFile(image, file);
    return file;
  };
  static const std::string files[] = {make(kAtZero), make(kTwoRegions), make(kSparse)};
  return files[layout];
}

// The peak resident memory of a running process, in MiB; 0 once it has
// ended. (A spawned child's own rusage counts its parent's peak from before
// the exec, so the new program's peak is read from /proc while it runs.)
double PeakMiB(pid_t process) {
  std::ifstream status("/proc/" + std::to_string(process) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("VmHWM:")) return std::stod(line.substr(6)) / 1024;
  }
  return 0;
}

// Runs the command; its wall time and peak resident memory.
struct Run {
  double seconds;
  double peak_mib;
  bool ok;
};
Run Spawn(const std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (const auto& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    return {0, 0, false};
  }
  int status = 0;
  double peak = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    peak = std::max(peak, PeakMiB(child));
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return {took.count(), peak, WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

void Convert(benchmark::State& state, const std::vector<std::string>& command) {
  const int64_t bytes = state.range(0) == kSparse ? kSparseBytes : kImageBytes;
  double peak = 0;
  for (auto _ : state) {
    const Run run = Spawn(command);
    if (!run.ok) {
      state.SkipWithError(("cannot run " + command.front()).c_str());
      return;
    }
    state.SetIterationTime(run.seconds);
    peak = std::max(peak, run.peak_mib);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
  state.counters["peak_MiB"] = peak;
  state.counters["peak_per_image_byte"] = peak * (1 << 20) / static_cast<double>(bytes);
}

// The argument is the layout: 0 at zero, 1 in two regions, 2 sparse.
void BM_ConvertIntelHexToSRecord_Ombrix(benchmark::State& state) {
  const std::string& input = IntelHexFile(state.range(0));
  Convert(state, {OMBRIX_PROGRAM, "image", "convert", input, "-o", input + ".ombrix.srec"});
}
BENCHMARK(BM_ConvertIntelHexToSRecord_Ombrix)
    ->Arg(kAtZero)
    ->Arg(kTwoRegions)
    ->Arg(kSparse)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

void BM_ConvertIntelHexToSRecord_Objcopy(benchmark::State& state) {
  const std::string& input = IntelHexFile(state.range(0));
  Convert(state, {"objcopy", "-I", "ihex", "-O", "srec", input, input + ".objcopy.srec"});
}
// (objcopy makes a section of each of the sparse layout's million runs: it
// takes too long to be a reference there.)
BENCHMARK(BM_ConvertIntelHexToSRecord_Objcopy)
    ->Arg(kAtZero)
    ->Arg(kTwoRegions)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace
}  // namespace ombrix::formats
