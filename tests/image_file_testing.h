// What the image file tests and the formats fuzzer share: an image file's
// data written out by file address, and a file made of one image.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "formats/image/image_file.h"

namespace ombrix::testing {

/// "ADDRESS:HEX " for each array, by file address in hexadecimal.
inline std::string DescribeFile(const formats::ImageFile& file) {
  std::string text;
  for (const auto& placed : formats::Arrays(file)) {
    char address[16];
    std::snprintf(address, sizeof address, "%X:", placed.Address);
    text += address + placed.Bytes->Text() + " ";
  }
  return text;
}

/// A file whose data is the image, its address 0 at file address `base`.
inline formats::ImageFile FileOf(std::shared_ptr<MemoryImage> image, uint32_t base = 0) {
  formats::ImageFile file;
  file.Regions.push_back({base, std::move(image)});
  return file;
}

}  // namespace ombrix::testing
