// Without libFuzzer: runs a fuzz target over every file of the folders (or
// files) named on the command line: its seed corpus and saved crash inputs.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  size_t runs = 0;
  for (int k = 1; k < argc; ++k) {
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(argv[k])) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[k])) {
        if (entry.is_regular_file() && entry.path().filename() != ".keep")
          files.push_back(entry.path());
      }
    } else if (std::filesystem::exists(argv[k])) {
      files.emplace_back(argv[k]);
    }
    for (const auto& file : files) {
      std::ifstream stream(file, std::ios::binary);
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(stream)), {});
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++runs;
    }
  }
  std::printf("replayed %zu inputs\n", runs);
  return runs == 0 ? 1 : 0;
}
