// The ombrix program: see `ombrix --help`.
#include <iostream>

#include "tools/cli.h"

#ifndef OMBRIX_SAMPLES_DIR
#define OMBRIX_SAMPLES_DIR "samples"
#endif

int main(int argc, char** argv) {
  ombrix::cli::Context context{std::cin, std::cout, std::cerr, OMBRIX_SAMPLES_DIR};
  return ombrix::cli::Run(argc, argv, context);
}
