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

// A 32 MiB image of random bytes, written once as Intel HEX: all at 0, or
// in two halves more than 2 GiB apart.
const std::string& IntelHexFile(bool two_regions) {
  const auto make = [](bool split) {
    const auto folder = std::filesystem::temp_directory_path() / "ombrix_conversion_bench";
    std::filesystem::create_directories(folder);
    const std::string file = (folder / (split ? "two.hex" : "one.hex")).string();
    std::mt19937 random(4);
    std::vector<uint8_t> bytes(kImageBytes);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
    ImageFile image;
    const std::span<const uint8_t> all(bytes);
    if (split) {
      image.Regions = {{0x08000000, MemoryImage::New()}, {0x90000000, MemoryImage::New()}};
      image.Regions[0].Image->Add(0, all.first(kImageBytes / 2));
      image.Regions[1].Image->Add(0, all.subspan(kImageBytes / 2));
    } else {
      image.Regions = {{0, MemoryImage::New()}};
      image.Regions[0].Image->Add(0, all);
    }
    WriteImageFile(image, file);
    return file;
  };
  static const std::string one = make(false), two = make(true);
  return two_regions ? two : one;
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
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kImageBytes);
  state.counters["peak_MiB"] = peak;
  state.counters["peak_per_image_byte"] = peak / (kImageBytes >> 20);
}

// Argument 0: the image at 0; 1: in two regions.
void BM_ConvertIntelHexToSRecord_Ombrix(benchmark::State& state) {
  const std::string& input = IntelHexFile(state.range(0) == 1);
  Convert(state, {OMBRIX_PROGRAM, "image", "convert", input, "-o", input + ".ombrix.srec"});
}
BENCHMARK(BM_ConvertIntelHexToSRecord_Ombrix)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

void BM_ConvertIntelHexToSRecord_Objcopy(benchmark::State& state) {
  const std::string& input = IntelHexFile(state.range(0) == 1);
  Convert(state, {"objcopy", "-I", "ihex", "-O", "srec", input, input + ".objcopy.srec"});
}
BENCHMARK(BM_ConvertIntelHexToSRecord_Objcopy)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace
}  // namespace ombrix::formats
