// The ombrix program: see `ombrix --help`.
#include <filesystem>
#include <iostream>
#include <system_error>

#include "tools/cli.h"

#ifndef OMBRIX_SAMPLES_FROM_PROGRAM
#define OMBRIX_SAMPLES_FROM_PROGRAM "../share/ombrix/samples"
#endif

namespace {

// The folder of the running program: /proc/self/exe where there is one,
// otherwise what argv[0] says.
std::filesystem::path ProgramFolder(const char* argv0) {
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) program = std::filesystem::absolute(argv0 != nullptr ? argv0 : "", error);
  return program.parent_path();
}

// The shipped samples: installed, in the data folder beside the program's
// bin folder; in a build tree, in the copy next to the program.
std::string SamplesFolder(const char* argv0) {
  const std::filesystem::path folder = ProgramFolder(argv0);
  const std::filesystem::path installed = (folder / OMBRIX_SAMPLES_FROM_PROGRAM).lexically_normal();
  const std::filesystem::path built = folder / "samples";
  std::error_code error;
  if (!std::filesystem::is_directory(installed, error) &&
      std::filesystem::is_directory(built, error)) {
    return built.string();
  }
  return installed.string();
}

}  // namespace

int main(int argc, char** argv) {
  ombrix::cli::Context context{std::cin, std::cout, std::cerr,
                               SamplesFolder(argc > 0 ? argv[0] : nullptr)};
  return ombrix::cli::Run(argc, argv, context);
}
