// ombrix image map|merge|read|write|fill|crop|crc|exclude|convert: memory
// images in Intel HEX, S-record, binary or JSON files, at file addresses
// from 0 to FFFFFFFF. "-" reads standard input or writes standard output.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iomanip>
#include <optional>
#include <ostream>
#include <span>
#include <sstream>
#include <vector>

#include "formats/file_error.h"
#include "formats/image/image_builder.h"
#include "formats/image/image_file.h"
#include "ombrix/checksum/crc.h"
#include "tools/cli.h"

namespace ombrix::cli {
namespace {

constexpr uint64_t kAddressMost = 0xFFFFFFFF;
constexpr uint64_t kCountMost = 0xFFFFFFFF;

struct ImageOptions {
  std::string input;                // the one file of most commands
  std::vector<std::string> inputs;  // those of merge and exclude
  std::string output;
  std::string format;      // of the inputs, when their extension does not tell
  std::string out_format;  // of the output, likewise
  std::string address;
  std::string count;
  std::string hex;
  std::optional<std::string> pattern;
  std::vector<std::string> range;  // fill --range ADDRESS COUNT
  std::string base = "0";          // of a binary input
  std::optional<std::string> record_bytes;
  std::string max_size = std::to_string(formats::WriteOptions{}.MaxBinarySize);
  int srec_type = 0;
  bool strict = false;
};

std::string Hex8(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(value));
  return text;
}

std::optional<formats::FileFormat> Named(const std::string& name) {
  if (name.empty()) return std::nullopt;
  return formats::FormatNamed(name);
}

// Reads an input; what the reader let pass is said on the error stream.
formats::ImageFile Read(const std::string& path, const ImageOptions& options, Context& context) {
  const formats::ReadOptions read{
      .BinaryBase = static_cast<uint32_t>(ParseUnsigned(options.base, "--base", kAddressMost)),
      .Strict = options.strict};
  formats::ImageFile file;
  if (path != "-") {
    file = formats::ReadImageFile(path, Named(options.format), read);
  } else {
    if (options.format.empty()) throw CLI::ValidationError("reading standard input needs --format");
    file = formats::ReadImage(context.in, *Named(options.format), "standard input", read);
  }
  for (const formats::FileError& notice : file.Notices) {
    context.err << "ombrix: " << notice.what() << "\n";
  }
  return file;
}

uint8_t PatternOf(const ImageOptions& options, uint8_t otherwise) {
  if (!options.pattern) return otherwise;
  return static_cast<uint8_t>(ParseUnsigned(*options.pattern, "--pattern", 0xFF));
}

uint64_t MaxSizeOf(const ImageOptions& options) {
  return ParseUnsigned(options.max_size, "--max-size", UINT64_MAX);
}

// Everything that can be wrong with the output is refused before its first
// byte; a file is replaced only once wholly written, standard output is
// written as the text is made.
void Write(const formats::ImageFile& file, const ImageOptions& options, Context& context) {
  formats::WriteOptions write;
  if (options.record_bytes) {
    write.RecordBytes = ParseUnsigned(*options.record_bytes, "--record-bytes", 255);
    if (write.RecordBytes == 0) throw CLI::ValidationError("--record-bytes must be 1 or more");
  }
  write.SRecordType = options.srec_type;
  write.Pattern = PatternOf(options, 0xFF);
  write.MaxBinarySize = MaxSizeOf(options);
  if (options.output != "-") {
    formats::WriteImageFile(file, options.output, Named(options.out_format), write);
    return;
  }
  if (options.out_format.empty())
    throw CLI::ValidationError("writing standard output needs --out-format");
  formats::WriteImage(file, *Named(options.out_format), write, [&](std::string_view piece) {
    context.out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
  });
  context.out.flush();
}

// ADDRESS COUNT as a stretch of file addresses, first and one past the last.
std::pair<uint64_t, uint64_t> Stretch(const std::string& address, const std::string& count) {
  const uint64_t first = ParseUnsigned(address, "ADDRESS", kAddressMost);
  const uint64_t size = ParseUnsigned(count, "COUNT", kCountMost);
  if (first + size - (size > 0 ? 1 : 0) > kAddressMost) {
    throw CLI::ValidationError("ADDRESS + COUNT reaches beyond address FFFFFFFF");
  }
  return {first, first + size};
}

// A held stretch: the file address of its first byte and its bytes.
struct Held {
  uint64_t address;
  std::span<const uint8_t> bytes;
  uint64_t End() const { return address + bytes.size(); }
};

// The file's bytes from `first` to before `end`, in address order.
std::vector<Held> HeldWithin(const std::vector<formats::PlacedArray>& arrays, uint64_t first,
                             uint64_t end) {
  std::vector<Held> held;
  for (const auto& placed : arrays) {
    const std::span<const uint8_t> bytes = std::as_const(*placed.Bytes).Bytes();
    const uint64_t from = std::max<uint64_t>(placed.Address, first);
    const uint64_t to = std::min<uint64_t>(placed.Address + bytes.size(), end);
    if (from < to) held.push_back({from, bytes.subspan(from - placed.Address, to - from)});
  }
  return held;
}

// A file of the stretches (and what `file` says beside its data).
formats::ImageFile Assembled(const formats::ImageFile& file, const std::vector<Held>& held) {
  formats::ImageBuilder builder("the result");
  for (const Held& piece : held) builder.Add(piece.address, piece.bytes, 0);
  formats::ImageFile result;
  result.Regions = builder.Finish();
  result.StartAddress = file.StartAddress;
  result.SegmentStart = file.SegmentStart;
  result.Header = file.Header;
  return result;
}

int Map(const ImageOptions& options, Context& context) {
  const auto file = Read(options.input, options, context);
  std::ostringstream out;
  const auto arrays = formats::Arrays(file);
  uint64_t bytes = 0;
  for (const auto& placed : arrays) {
    out << Hex8(placed.Address) << "-" << Hex8(placed.Address + placed.Bytes->size() - 1) << "  "
        << placed.Bytes->size() << " bytes\n";
    bytes += placed.Bytes->size();
  }
  out << arrays.size() << (arrays.size() == 1 ? " segment, " : " segments, ") << bytes
      << " bytes\n";
  context.out << out.str();
  return 0;
}

// Every input's bytes in one image; different bytes at one address name the two files.
int Merge(const ImageOptions& options, Context& context) {
  std::vector<formats::ImageFile> files;
  formats::ImageBuilder builder("the merged image");
  for (size_t k = 0; k < options.inputs.size(); ++k) {
    files.push_back(Read(options.inputs[k], options, context));
    for (const auto& placed : formats::Arrays(files.back())) {
      builder.Add(placed.Address, std::as_const(*placed.Bytes).Bytes(), static_cast<int>(k));
    }
  }
  formats::ImageFile merged;
  try {
    merged.Regions = builder.Finish();
  } catch (const formats::DataConflict& conflict) {
    throw formats::FileError(options.inputs[static_cast<size_t>(conflict.Later())], 0,
                             "overlaps " + options.inputs[static_cast<size_t>(conflict.Earlier())] +
                                 " with other bytes at " + Hex8(conflict.Low()) + "-" +
                                 Hex8(conflict.High()));
  }
  for (const formats::ImageFile& file : files) {
    if (!merged.StartAddress) merged.StartAddress = file.StartAddress;
    if (!merged.SegmentStart) merged.SegmentStart = file.SegmentStart;
    if (merged.Header.empty()) merged.Header = file.Header;
  }
  Write(merged, options, context);
  return 0;
}

[[noreturn]] void NotHeld(const std::string& input, uint64_t count, uint64_t address,
                          const char* why = "") {
  throw formats::FileError(
      input, 0, "does not hold " + std::to_string(count) + " bytes from " + Hex8(address) + why);
}

int ReadBytes(const ImageOptions& options, Context& context) {
  const auto file = Read(options.input, options, context);
  const auto [first, end] = Stretch(options.address, options.count);
  const auto count = static_cast<uint32_t>(end - first);
  const auto bytes = formats::ReadBytes(file, static_cast<uint32_t>(first), count);
  if (!bytes) NotHeld(options.input, count, first);
  const std::string text = bytes->Text();
  std::ostringstream out;
  for (int32_t row = 0; row < bytes->Count(); row += 16) {
    out << Hex8(first + static_cast<uint64_t>(row)) << " ";
    for (int32_t k = row; k < std::min(row + 16, bytes->Count()); ++k) {
      out << " " << text.substr(2 * static_cast<size_t>(k), 2);
    }
    out << "\n";
  }
  context.out << out.str();
  return 0;
}

int WriteBytes(const ImageOptions& options, Context& context) {
  auto file = Read(options.input, options, context);
  auto bytes = ByteArray::New();
  Naming("HEX", [&] { bytes->Text(HexArgument(options.hex, context)); });
  const uint64_t address = ParseUnsigned(options.address, "ADDRESS", kAddressMost);
  if (!formats::WriteBytes(file, static_cast<uint32_t>(address), std::as_const(*bytes).Bytes())) {
    NotHeld(options.input, bytes->size(), address, " to write over");
  }
  Write(file, options, context);
  return 0;
}

// The gaps between the image's lowest and highest address, or in the
// stretch --range gives, filled with the pattern.
int Fill(const ImageOptions& options, Context& context) {
  const auto file = Read(options.input, options, context);
  const uint8_t pattern = PatternOf(options, 0);
  const auto arrays = formats::Arrays(file);
  std::pair<uint64_t, uint64_t> stretch{0, 0};
  if (!options.range.empty()) {
    stretch = Stretch(options.range.at(0), options.range.at(1));
  } else if (const auto extent = formats::FileExtent(file)) {
    stretch = {extent->first, uint64_t{extent->second} + 1};
  }
  const uint64_t most = MaxSizeOf(options);
  if (stretch.second - stretch.first > most) {
    throw formats::FileError(options.input, 0,
                             "filling " + Hex8(stretch.first) + "-" + Hex8(stretch.second - 1) +
                                 " makes " + std::to_string(stretch.second - stretch.first) +
                                 " bytes, more than --max-size allows (" + std::to_string(most) +
                                 ")");
  }
  std::vector<Held> pieces = HeldWithin(arrays, 0, uint64_t{1} << 32);
  const std::vector<uint8_t> filler(size_t{1} << 16, pattern);
  uint64_t next = stretch.first;
  const auto gap = [&](uint64_t to) {
    for (; next < to; next += std::min<uint64_t>(to - next, filler.size())) {
      pieces.push_back(
          {next, std::span(filler).first(std::min<uint64_t>(to - next, filler.size()))});
    }
  };
  for (const Held& held : HeldWithin(arrays, stretch.first, stretch.second)) {
    gap(held.address);
    next = held.End();
  }
  gap(stretch.second);
  Write(Assembled(file, pieces), options, context);
  return 0;
}

// Only the bytes from ADDRESS to ADDRESS + COUNT - 1.
int Crop(const ImageOptions& options, Context& context) {
  const auto file = Read(options.input, options, context);
  const auto [first, end] = Stretch(options.address, options.count);
  Write(Assembled(file, HeldWithin(formats::Arrays(file), first, end)), options, context);
  return 0;
}

// The frame check sequence of the bytes from ADDRESS (default: the lowest)
// to ADDRESS + COUNT - 1 (default: the highest); a gap is an error unless
// --pattern fills it.
int Crc(const ImageOptions& options, Context& context) {
  const auto file = Read(options.input, options, context);
  const auto extent = formats::FileExtent(file);
  std::pair<uint64_t, uint64_t> stretch{0, 0};
  if (!options.address.empty()) {
    stretch = Stretch(options.address, options.count);
  } else if (extent) {
    stretch = {extent->first, uint64_t{extent->second} + 1};
  }
  auto crc = CRC::New();
  const auto gap = [&](uint64_t from, uint64_t to) {
    if (from >= to) return;
    if (!options.pattern) {
      throw formats::FileError(options.input, 0,
                               "holds no bytes from " + Hex8(from) + " to " + Hex8(to - 1) +
                                   "; give --pattern to fill the gap");
    }
    auto filler = ByteArray::New();
    for (uint64_t left = to - from; left > 0;) {
      const auto chunk = static_cast<int32_t>(std::min<uint64_t>(left, 1 << 20));
      filler->Count(chunk);
      filler->Fill(PatternOf(options, 0));
      crc->Append(*filler);
      left -= static_cast<uint64_t>(chunk);
    }
  };
  uint64_t next = stretch.first;
  for (const Held& held : HeldWithin(formats::Arrays(file), stretch.first, stretch.second)) {
    gap(next, held.address);
    crc->Append(*ByteArray::New(held.bytes));
    next = held.End();
  }
  gap(next, stretch.second);
  context.out << std::uppercase << std::hex << std::setw(4) << std::setfill('0')
              << (~crc->Register() & 0xFFFF) << std::dec << "\n";
  return 0;
}

// The first image without the addresses the second one holds.
int Exclude(const ImageOptions& options, Context& context) {
  const auto first = Read(options.inputs.at(0), options, context);
  const auto second = Read(options.inputs.at(1), options, context);
  const auto removed = formats::Arrays(second);
  std::vector<Held> kept;
  auto cut = removed.begin();
  for (const Held& held : HeldWithin(formats::Arrays(first), 0, uint64_t{1} << 32)) {
    uint64_t from = held.address;
    // The removed stretches are in address order and do not overlap.
    while (cut != removed.end() && cut->Address + cut->Bytes->size() <= from) ++cut;
    auto k = cut;
    while (from < held.End()) {
      const bool last = k == removed.end();
      const uint64_t low = last ? held.End() : k->Address;
      const uint64_t high = last ? held.End() : low + k->Bytes->size();
      if (low > from) {
        const uint64_t to = std::min(low, held.End());
        kept.push_back({from, held.bytes.subspan(from - held.address, to - from)});
      }
      from = std::max(from, high);
      if (!last) ++k;
    }
  }
  Write(Assembled(first, kept), options, context);
  return 0;
}

int Convert(const ImageOptions& options, Context& context) {
  Write(Read(options.input, options, context), options, context);
  return 0;
}

// An input file: one that exists, or "-" for standard input.
const CLI::Validator kInputFile(
    [](const std::string& path) { return path == "-" ? std::string() : CLI::ExistingFile(path); },
    "FILE");

}  // namespace

void AddImageCommand(CLI::App& app, Context& context, std::function<int()>& action) {
  auto* image =
      app.add_subcommand("image", "Memory images in Intel HEX, S-record, binary or JSON files");
  image->require_subcommand(1);
  image->footer(
      "Data may lie anywhere from 0 to FFFFFFFF. Reading stops at the end record: the lines "
      "after it are passed over and counted on standard error (--strict refuses them). A record "
      "given twice with the same bytes is held once; other bytes at one address are refused, "
      "naming both lines.");
  auto options = std::make_shared<ImageOptions>();
  const auto formats = CLI::IsMember({"ihex", "srec", "json", "binary"});
  const auto common = [&](CLI::App* command, bool writes) {
    command
        ->add_option("--format", options->format,
                     "Format of the input files: ihex, srec, json or binary (default: by "
                     "extension; needed for -)")
        ->check(formats);
    command->add_option("--base", options->base,
                        "Address of a binary input's first byte (default 0)");
    command->add_flag("--strict", options->strict,
                      "Refuse what is otherwise only noted: lines after the end record, a "
                      "start address given again with another value");
    if (writes) {
      command
          ->add_option("-o,--output", options->output,
                       "The file to write (replaced only once wholly written; - for standard "
                       "output)")
          ->required();
      command
          ->add_option("--out-format", options->out_format,
                       "Format of the output: ihex, srec, json or binary (default: by extension; "
                       "needed for -)")
          ->check(formats);
      command->add_option("--record-bytes", options->record_bytes,
                          "Data bytes per record (default 16)");
      command->add_option("--max-size", options->max_size,
                          "The most bytes a binary output (or a fill) may span, gaps included "
                          "(default 268435456, 256 MiB)");
      command
          ->add_option("--srec-type", options->srec_type,
                       "S-record addresses: 1 (S1, 16 bits), 2 (S2, 24) or 3 (S3, 32); default "
                       "by extension (.s19 .s28 .s37), widened when the data needs it")
          ->check(CLI::Range(1, 3));
    }
  };
  const auto add = [&](const char* name, const char* help, bool writes,
                       int (*run)(const ImageOptions&, Context&)) {
    auto* command = image->add_subcommand(name, help);
    common(command, writes);
    command->callback([&context, &action, options, run] {
      action = [&context, options, run] { return run(*options, context); };
    });
    return command;
  };
  const auto input = [&](CLI::App* command) {
    command->add_option("FILE", options->input, "The image file; - for standard input")
        ->required()
        ->check(kInputFile);
  };
  const char* address_help = "First address (decimal, or hexadecimal after 0x)";

  input(add("map", "Print the image's segments and its byte count", false, Map));
  add("merge", "Join several images into one; overlapping inputs are refused", true, Merge)
      ->add_option("FILES", options->inputs, "The image files")
      ->required()
      ->expected(1, -1)
      ->check(kInputFile);
  auto* read =
      add("read", "Print bytes of the image as a hex dump with addresses", false, ReadBytes);
  input(read);
  read->add_option("ADDRESS", options->address, address_help)->required();
  read->add_option("COUNT", options->count, "Number of bytes")->required();
  auto* write = add("write", "Overwrite bytes the image holds", true, WriteBytes);
  input(write);
  write->add_option("ADDRESS", options->address, address_help)->required();
  write->add_option("HEX", options->hex, "The bytes in hexadecimal")->required();
  auto* fill =
      add("fill", "Fill the gaps between the image's lowest and highest address, or in --range",
          true, Fill);
  input(fill);
  fill->add_option("--range", options->range, "ADDRESS COUNT: fill this stretch instead")
      ->expected(2);
  fill->add_option("--pattern", options->pattern, "The byte that fills the gaps (default 0)");
  auto* crop = add("crop", "Keep only the bytes from ADDRESS to ADDRESS + COUNT - 1", true, Crop);
  input(crop);
  crop->add_option("ADDRESS", options->address, address_help)->required();
  crop->add_option("COUNT", options->count, "Number of bytes")->required();
  auto* crc = add("crc",
                  "The frame check sequence of the image's bytes, from the lowest to the "
                  "highest address or from ADDRESS for COUNT bytes",
                  false, Crc);
  input(crc);
  crc->add_option("ADDRESS", options->address, address_help);
  crc->add_option("COUNT", options->count, "Number of bytes");
  crc->add_option("--pattern", options->pattern,
                  "The byte that stands for missing bytes (default: a gap is an error)");
  add("exclude", "The first image without the addresses of the second", true, Exclude)
      ->add_option("FILES", options->inputs, "The image and the one whose addresses go")
      ->required()
      ->expected(2)
      ->check(kInputFile);
  add("convert", "Write the image in another format", true, Convert)
      ->add_option("FILE", options->input, "The image file; - for standard input")
      ->required()
      ->check(kInputFile);
  // A binary output's gaps.
  for (const char* name : {"convert", "merge", "write", "crop", "exclude"}) {
    image->get_subcommand(name)->add_option(
        "--pattern", options->pattern, "The byte that fills a binary output's gaps (default 0xFF)");
  }
}

}  // namespace ombrix::cli
