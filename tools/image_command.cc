// ombrix image map|merge|read|write|fill|crop|crc|exclude|convert: memory
// images in Intel HEX, S-record, binary or JSON files, at file addresses
// from 0 to FFFFFFFF. "-" reads standard input or writes standard output.
#include <cstdio>
#include <iomanip>
#include <optional>
#include <ostream>
#include <sstream>

#include "formats/file_error.h"
#include "formats/image_file.h"
#include "ombrix/checksum/crc.h"
#include "ombrix/memory/memory_map.h"
#include "tools/cli.h"

namespace ombrix::cli {
namespace {

constexpr uint64_t kAddressMost = 0xFFFFFFFF;
constexpr uint64_t kCountMost = 0x7FFFFFFF;

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
  int srec_type = 0;
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

formats::ImageFile Read(const std::string& path, const ImageOptions& options, Context& context) {
  const auto base = static_cast<uint32_t>(ParseUnsigned(options.base, "--base", kAddressMost));
  if (path != "-") return formats::ReadImageFile(path, Named(options.format), base);
  if (options.format.empty()) throw CLI::ValidationError("reading standard input needs --format");
  return formats::ReadImage(context.in, *Named(options.format), "standard input", base);
}

uint8_t PatternOf(const ImageOptions& options, uint8_t otherwise) {
  if (!options.pattern) return otherwise;
  return static_cast<uint8_t>(ParseUnsigned(*options.pattern, "--pattern", 0xFF));
}

// The whole output is made before anything is written, so that an error
// leaves no partial output.
void Write(const formats::ImageFile& file, const ImageOptions& options, Context& context) {
  formats::WriteOptions write;
  if (options.record_bytes) {
    write.RecordBytes = ParseUnsigned(*options.record_bytes, "--record-bytes", 255);
    if (write.RecordBytes == 0) throw CLI::ValidationError("--record-bytes must be 1 or more");
  }
  write.SRecordType = options.srec_type;
  write.Pattern = PatternOf(options, 0xFF);
  if (options.output != "-") {
    formats::WriteImageFile(file, options.output, Named(options.out_format), write);
    return;
  }
  if (options.out_format.empty())
    throw CLI::ValidationError("writing standard output needs --out-format");
  const std::string text = formats::FormatImage(file, *Named(options.out_format), write);
  context.out << text << std::flush;
}

// The file addresses of an image's array.
std::pair<uint64_t, uint64_t> Bounds(const formats::ImageFile& file, const ByteArray& array) {
  const uint64_t low = uint64_t{file.Base} + static_cast<uint32_t>(array.LowIndex());
  return {low, low + static_cast<uint64_t>(array.Count()) - 1};
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

// A new image with the bytes of `file` from `first` to before `end`.
std::shared_ptr<MemoryImage> Slice(const formats::ImageFile& file, uint64_t first, uint64_t end) {
  auto kept = MemoryImage::New();
  for (const auto& array : *file.Image) {
    if (array->Count() <= 0) continue;
    const auto [low, high] = Bounds(file, *array);
    const uint64_t from = std::max(low, first);
    const uint64_t to = std::min(high + 1, end);
    if (from >= to) continue;
    kept->Add(*file.Image->MemoryRead(static_cast<int32_t>(from - file.Base),
                                      static_cast<int32_t>(to - from)));
  }
  return kept;
}

int Map(const ImageOptions& options, Context& context) {
  const auto file = Read(options.input, options, context);
  std::ostringstream out;
  int64_t bytes = 0;
  for (const auto& array : *file.Image) {
    const auto [low, high] = Bounds(file, *array);
    out << Hex8(low) << "-" << Hex8(high) << "  " << array->Count() << " bytes\n";
    bytes += array->Count();
  }
  out << file.Image->Count() << (file.Image->Count() == 1 ? " segment, " : " segments, ") << bytes
      << " bytes\n";
  context.out << out.str();
  return 0;
}

// Every input's arrays in one image; an overlap names the two files.
int Merge(const ImageOptions& options, Context& context) {
  std::vector<formats::ImageFile> files;
  std::optional<std::pair<uint32_t, uint32_t>> extent;
  for (const std::string& path : options.inputs) {
    files.push_back(Read(path, options, context));
    if (const auto own = formats::FileExtent(files.back())) {
      formats::Include(extent, own->first, own->second);
    }
  }
  formats::ImageFile merged;
  if (extent) merged.Base = formats::BaseFor(extent->first, extent->second, "the merged image");
  for (size_t k = 0; k < files.size(); ++k) {
    formats::ImageFile& file = files[k];
    formats::Rebase(file, merged.Base, options.inputs[k]);
    for (const auto& array : *file.Image) {
      try {
        merged.Image->Add(*array);
      } catch (const Error& error) {
        std::string other = "an earlier file";
        for (size_t j = 0; j < k; ++j) {
          for (const auto& earlier : *files[j].Image) {
            if (earlier->LowIndex() <= array->HighIndex() &&
                array->LowIndex() <= earlier->HighIndex()) {
              other = options.inputs[j];
            }
          }
        }
        const auto [low, high] = Bounds(file, *array);
        throw formats::FileError(
            options.inputs[k], 0,
            "overlaps " + other + " at " + Hex8(low) + "-" + Hex8(high) + ": " + error.what());
      }
    }
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
  const auto at = formats::ImageAddress(file, static_cast<uint32_t>(first), count);
  const auto bytes = at ? file.Image->MemoryRead(*at, static_cast<int32_t>(count)) : nullptr;
  if (!bytes || count == 0) NotHeld(options.input, count, first);
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
  const auto at = formats::ImageAddress(file, static_cast<uint32_t>(address),
                                        static_cast<uint32_t>(bytes->Count()));
  if (!at || bytes->Count() == 0)
    NotHeld(options.input, static_cast<uint64_t>(bytes->Count()), address, " to write over");
  bytes->LowIndex(*at);
  try {
    file.Image->MemoryWrite(*bytes);
  } catch (const Error&) {
    NotHeld(options.input, static_cast<uint64_t>(bytes->Count()), address, " to write over");
  }
  Write(file, options, context);
  return 0;
}

// The gaps between the image's lowest and highest address, or in the
// stretch --range gives, filled with the pattern.
int Fill(const ImageOptions& options, Context& context) {
  auto file = Read(options.input, options, context);
  const uint8_t pattern = PatternOf(options, 0);
  auto extent = formats::FileExtent(file);
  std::pair<uint64_t, uint64_t> stretch{0, 0};
  if (!options.range.empty()) {
    stretch = Stretch(options.range.at(0), options.range.at(1));
    if (stretch.second > stretch.first) {
      const auto low = static_cast<uint32_t>(stretch.first);
      const auto high = static_cast<uint32_t>(stretch.second - 1);
      formats::Include(extent, low, high);
      formats::Rebase(file, formats::BaseFor(extent->first, extent->second, options.input),
                      options.input);
    }
  } else if (extent) {
    stretch = {extent->first, uint64_t{extent->second} + 1};
  }
  if (stretch.second > stretch.first) {
    auto whole = MemoryMap::New();
    whole->Add(static_cast<int32_t>(stretch.first - file.Base),
               static_cast<int32_t>(stretch.second - stretch.first));
    const auto gaps = whole->Exclude(*file.Image->Map())->MemoryImage(pattern);
    for (const auto& gap : *gaps) file.Image->Add(*gap);
  }
  Write(file, options, context);
  return 0;
}

// Only the bytes from ADDRESS to ADDRESS + COUNT - 1.
int Crop(const ImageOptions& options, Context& context) {
  auto file = Read(options.input, options, context);
  const auto [first, end] = Stretch(options.address, options.count);
  file.Image = Slice(file, first, end);
  Write(file, options, context);
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
  const auto held = Slice(file, stretch.first, stretch.second);
  for (const auto& array : *held) {
    const uint64_t low = uint64_t{file.Base} + static_cast<uint32_t>(array->LowIndex());
    gap(next, low);
    crc->Append(*array);
    next = low + static_cast<uint64_t>(array->Count());
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
  // The second image's addresses, as far as they fall where the first's lie.
  auto removed = MemoryMap::New();
  for (const auto& array : *second.Image) {
    if (array->Count() <= 0) continue;
    const auto [low, high] = Bounds(second, *array);
    const uint64_t from = std::max<uint64_t>(low, first.Base);
    const uint64_t to = std::min<uint64_t>(high, uint64_t{first.Base} + kCountMost);
    if (from <= to) {
      removed->Add(static_cast<int32_t>(from - first.Base), static_cast<int32_t>(to - from + 1));
    }
  }
  formats::ImageFile result = first;
  result.Image = MemoryImage::New();
  const auto kept = first.Image->Map()->Exclude(*removed);
  for (const auto& segment : *kept) {
    if (segment->Count() > 0)
      result.Image->Add(*first.Image->MemoryRead(segment->LowIndex(), segment->Count()));
  }
  Write(result, options, context);
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
