// Helpers to build arrays and read their bytes in tests and fuzz targets.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "ombrix/bytes/byte_array.h"
#include "ombrix/memory/memory_image.h"

namespace ombrix::testing {

inline std::shared_ptr<ByteArray> MakeArray(std::initializer_list<uint8_t> bytes,
                                            int32_t low_index = 1) {
  auto array = ByteArray::New();
  array->Value(Variant(SafeArray<uint8_t>(0, std::vector<uint8_t>(bytes))));
  array->LowIndex(low_index);
  return array;
}

// The bytes of any array, view or not, read through Item.
inline std::vector<uint8_t> Bytes(const IByteArray& array) {
  std::vector<uint8_t> bytes;
  for (int64_t i = array.LowIndex(); i < static_cast<int64_t>(array.LowIndex()) + array.Count();
       ++i) {
    bytes.push_back(static_cast<uint8_t>(array.Item(static_cast<int32_t>(i))));
  }
  return bytes;
}

// An image's arrays as "address:HEX " in order, for comparing layouts and bytes.
inline std::string Describe(const MemoryImage& image) {
  std::string text;
  for (const auto& array : image)
    text += std::to_string(array->LowIndex()) + ":" + array->Text() + " ";
  return text;
}

}  // namespace ombrix::testing
