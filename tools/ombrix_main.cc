// The ombrix program: see `ombrix --help`.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "tools/cli.h"
#include "tools/descriptor_output.h"

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
  ombrix::cli::DescriptorOutput out(STDOUT_FILENO);
  ombrix::cli::Context context{std::cin, out, std::cerr,
                               SamplesFolder(argc > 0 ? argv[0] : nullptr),
                               ::isatty(STDERR_FILENO) == 1};
  const int status = ombrix::cli::Run(argc, argv, context);
  const int error = out.Finish();
  if (error == 0) return status;
  // A reader that has gone away is no failure of ours: end as a program
  // stopped by SIGPIPE does, quietly (where SIGPIPE is ignored and the
  // write fails with EPIPE instead).
  if (error == EPIPE) return 128 + SIGPIPE;
  std::cerr << "ombrix: cannot write standard output: " << std::strerror(error) << "\n";
  return 2;
}
