// Reads an image file through the installed formats library and prints its
// segments in the same form as `ombrix image map`.
#include <cstdio>
#include <exception>

#include "formats/image/image_file.h"
#include "ombrix/ombrix.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ombrix_client IMAGE_FILE\n");
    return 2;
  }
  try {
    const ombrix::formats::ImageFile file = ombrix::formats::ReadImageFile(argv[1]);
    const auto arrays = ombrix::formats::Arrays(file);
    size_t bytes = 0;
    for (const auto& placed : arrays) {
      std::printf("%08X-%08X  %zu bytes\n", placed.Address,
                  static_cast<unsigned>(placed.Address + placed.Bytes->size() - 1),
                  placed.Bytes->size());
      bytes += placed.Bytes->size();
    }
    std::printf("%zu segments, %zu bytes\n", arrays.size(), bytes);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "ombrix_client: %s\n", error.what());
    return 2;
  }
  return 0;
}
