// Reads an image file through the installed formats library and prints its
// segments in the same form as `ombrix image map`; first it checks that the
// installed signal databases decode a frame.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <vector>

#include "formats/dbc/dbc_file.h"
#include "formats/image/image_file.h"
#include "ombrix/ombrix.h"
#include "ombrix/signals/message_codec.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ombrix_client IMAGE_FILE\n");
    return 2;
  }
  try {
    const auto database = ombrix::formats::ParseDbc(
        "BO_ 1 Engine: 2 ECU\n SG_ Speed : 0|16@1+ (0.5,0) [0|0] \"km/h\" X\n");
    const std::vector<uint8_t> frame = {0x10, 0x00};
    const auto decoded = ombrix::signals::MessageCodec(database.Messages.front()).Decode(frame);
    if (decoded.size() != 1 || decoded[0].Value != 8.0) {
      std::fprintf(stderr, "ombrix_client: the installed signal databases decode wrongly\n");
      return 2;
    }
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
