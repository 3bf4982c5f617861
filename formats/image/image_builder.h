// Gathering bytes at file addresses, given in any order, into the regions of
// an image file: what every reader of a file and every command that makes a
// new image from pieces of others shares.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/image/image_file.h"

namespace ombrix::formats {

/// Bytes given twice for the same addresses with different values: the
/// stretch where they differ and the two sources (lines, inputs) that gave
/// them, the one given first as `Earlier`.
class DataConflict : public std::runtime_error {
 public:
  /// "bytes at Low-High differ from those given before".
  DataConflict(uint32_t Low, uint32_t High, int Earlier, int Later);
  /// The first address where the values differ.
  uint32_t Low() const noexcept { return low_; }
  /// The last address where the values differ.
  uint32_t High() const noexcept { return high_; }
  /// The source that gave its value first.
  int Earlier() const noexcept { return earlier_; }
  /// The source that gave another value after it.
  int Later() const noexcept { return later_; }

 private:
  uint32_t low_, high_;
  int earlier_, later_;
};

/// Collects bytes at file addresses and makes regions of them. Bytes that
/// touch join into one array; bytes given again at the same address with
/// the same value are kept once; different values raise DataConflict.
/// Memory: the bytes themselves, once, and a few words per record.
class ImageBuilder {
 public:
  /// `name` is the file named in errors.
  explicit ImageBuilder(std::string name);
  ImageBuilder(const ImageBuilder&) = delete;
  ImageBuilder& operator=(const ImageBuilder&) = delete;
  ~ImageBuilder();

  /// The bytes at `address`, given by `source` (a line, an input; used in
  /// conflicts). FileError when they reach past address FFFFFFFF.
  void Add(uint64_t address, std::span<const uint8_t> bytes, int source);
  /// The regions of all the bytes given, in address order, each spanning
  /// less than 2 GiB (from base 0 where that suffices); DataConflict for
  /// different values at one address, FileError for a run of 2 GiB or more.
  /// The builder is empty afterwards.
  std::vector<ImageRegion> Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace ombrix::formats
