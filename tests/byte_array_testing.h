// Helpers to build arrays and read their bytes in tests and fuzz targets.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ombrix/bytes/byte_array.h"
#include "ombrix/memory/memory_image.h"

namespace ombrix::testing {

// The bytes of any array, view or not, read through Item.
inline std::vector<uint8_t> Bytes(const IByteArray& array) {
  std::vector<uint8_t> bytes;
  for (int64_t i = array.LowIndex(); i < static_cast<int64_t>(array.LowIndex()) + array.Count();
       ++i) {
    bytes.push_back(static_cast<uint8_t>(array.Item(static_cast<int32_t>(i))));
  }
  return bytes;
}

// A client's own implementation of the interface, forwarding to an array or
// view (its intervals are live, wrapped again): what the library must serve
// through the interface alone.
class ClientArray final : public IByteArray {
 public:
  explicit ClientArray(std::shared_ptr<IByteArray> array) : array_(std::move(array)) {}
  std::shared_ptr<ArrayBounds> Bounds() const override { return array_->Bounds(); }
  int32_t Count() const override { return array_->Count(); }
  void Count(int32_t value) override { array_->Count(value); }
  int32_t HighIndex() const override { return array_->HighIndex(); }
  void HighIndex(int32_t value) override { array_->HighIndex(value); }
  std::shared_ptr<IByteArray> Interval(int32_t index, int32_t count = 0) override {
    return std::make_shared<ClientArray>(array_->Interval(index, count));
  }
  int32_t Item(int32_t index) const override { return array_->Item(index); }
  void Item(int32_t index, int32_t value) override { array_->Item(index, value); }
  int32_t LowIndex() const override { return array_->LowIndex(); }
  void LowIndex(int32_t value) override { array_->LowIndex(value); }
  bool Check(const IByteArray& v) const override { return array_->Check(v); }
  std::shared_ptr<ByteArray> Copy() const override { return array_->Copy(); }
  void Copy(const IByteArray& v) override { array_->Copy(v); }
  int32_t Sum() const override { return array_->Sum(); }
  void WriteBytes(SafeArray<uint8_t>& destination, int32_t destination_index, int32_t source_index,
                  int32_t count) const override {
    array_->WriteBytes(destination, destination_index, source_index, count);
  }
  std::string Text() const override { return array_->Text(); }
  void Text(std::string_view value) override { array_->Text(value); }
  Variant Value() const override { return array_->Value(); }
  void Value(const Variant& v) override { array_->Value(v); }
  int32_t Skip(uint8_t pattern, int32_t start) const override {
    return array_->Skip(pattern, start);
  }
  void Fill(uint8_t pattern) override { array_->Fill(pattern); }

 private:
  std::shared_ptr<IByteArray> array_;
};

// An image's arrays as "address:HEX " in order, for comparing layouts and bytes.
inline std::string Describe(const MemoryImage& image) {
  std::string text;
  for (const auto& array : image)
    text += std::to_string(array->LowIndex()) + ":" + array->Text() + " ";
  return text;
}

}  // namespace ombrix::testing
