// Reads an image file through the installed formats library and prints its
// segments in the same form as `ombrix image map`.
#include <cstdio>
#include <exception>

#include "formats/image_file.h"
#include "ombrix/ombrix.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ombrix_client IMAGE_FILE\n");
    return 2;
  }
  try {
    const ombrix::formats::ImageFile file = ombrix::formats::ReadImageFile(argv[1]);
    std::shared_ptr<ombrix::MemoryMap> map;
    file.Image->GetMap(map);
    for (const auto& segment : *map) {
      std::printf("%08X-%08X  %d bytes\n", static_cast<unsigned>(segment->LowIndex()),
                  static_cast<unsigned>(segment->HighIndex()), segment->Count());
    }
    std::printf("%d segments, %d bytes\n", map->Count(), map->BytesCount());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "ombrix_client: %s\n", error.what());
    return 2;
  }
  return 0;
}
