// ombrix image map|merge|read|write|fill|exclude|convert: memory images in
// Intel HEX, S-record or JSON files.
#include <cstdio>
#include <optional>
#include <ostream>

#include "formats/file_error.h"
#include "formats/image_file.h"
#include "ombrix/memory/memory_map.h"
#include "tools/cli.h"

namespace ombrix::cli {
namespace {

struct ImageOptions {
  std::string input;                // the one file of most commands
  std::vector<std::string> inputs;  // those of merge and exclude
  std::string output;
  std::string format;      // of the inputs, when their extension does not tell
  std::string out_format;  // of the output, likewise
  std::string address;
  std::string count;
  std::string hex;
  std::string pattern = "0";
};

std::optional<formats::FileFormat> Named(const std::string& name) {
  if (name.empty()) return std::nullopt;
  return formats::FormatNamed(name);
}

formats::ImageFile Read(const std::string& path, const ImageOptions& options) {
  return formats::ReadImageFile(path, Named(options.format));
}

void Write(const formats::ImageFile& file, const ImageOptions& options) {
  formats::WriteImageFile(file, options.output, Named(options.out_format));
}

std::string Hex8(int64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(value));
  return text;
}

int Map(const ImageOptions& options, Context& context) {
  const auto file = Read(options.input, options);
  const auto map = file.Image->Map();
  for (const auto& segment : *map) {
    context.out << Hex8(segment->LowIndex()) << "-" << Hex8(segment->HighIndex()) << "  "
                << segment->Count() << " bytes\n";
  }
  context.out << map->Count() << (map->Count() == 1 ? " segment, " : " segments, ")
              << map->BytesCount() << " bytes\n";
  return 0;
}

// Every input's arrays in one image; an overlap names the two files.
int Merge(const ImageOptions& options, Context&) {
  formats::ImageFile merged;
  std::vector<std::pair<std::string, std::shared_ptr<MemoryMap>>> maps;
  for (const std::string& path : options.inputs) {
    const auto file = Read(path, options);
    for (const auto& array : *file.Image) {
      try {
        merged.Image->Add(*array);
      } catch (const Error& error) {
        std::string other = "an earlier file";
        for (const auto& [earlier, map] : maps) {
          auto probe = MemoryMap::New();
          probe->Add(array->LowIndex(), array->Count());
          if (probe->Exclude(*map)->BytesCount() != array->Count()) other = earlier;
        }
        throw formats::FileError(path, 0,
                                 "overlaps " + other + " at " + Hex8(array->LowIndex()) + "-" +
                                     Hex8(array->HighIndex()) + ": error " +
                                     std::to_string(error.Number()) + ": " + error.Description());
      }
    }
    if (!merged.StartAddress) merged.StartAddress = file.StartAddress;
    if (!merged.SegmentStart) merged.SegmentStart = file.SegmentStart;
    if (merged.Header.empty()) merged.Header = file.Header;
    maps.emplace_back(path, file.Image->Map());
  }
  Write(merged, options);
  return 0;
}

int ReadBytes(const ImageOptions& options, Context& context) {
  const auto file = Read(options.input, options);
  const int32_t address = ParseNumber(options.address, "ADDRESS");
  const int32_t count = ParseNumber(options.count, "COUNT");
  const auto bytes = file.Image->MemoryRead(address, count);
  if (!bytes) {
    throw formats::FileError(
        options.input, 0,
        "does not hold " + std::to_string(count) + " bytes from " + Hex8(address));
  }
  const std::string text = bytes->Text();
  for (int32_t row = 0; row < bytes->Count(); row += 16) {
    context.out << Hex8(static_cast<int64_t>(address) + row) << " ";
    for (int32_t k = row; k < std::min(row + 16, bytes->Count()); ++k) {
      context.out << " " << text.substr(2 * static_cast<size_t>(k), 2);
    }
    context.out << "\n";
  }
  return 0;
}

int WriteBytes(const ImageOptions& options, Context& context) {
  auto file = Read(options.input, options);
  auto bytes = ByteArray::New();
  bytes->Text(HexArgument(options.hex, context));
  bytes->LowIndex(ParseNumber(options.address, "ADDRESS"));
  try {
    file.Image->MemoryWrite(*bytes);
  } catch (const Error&) {
    throw formats::FileError(options.input, 0,
                             "does not hold " + std::to_string(bytes->Count()) + " bytes from " +
                                 Hex8(bytes->LowIndex()) + " to write over");
  }
  Write(file, options);
  return 0;
}

// The gaps between the image's lowest and highest address, filled.
int Fill(const ImageOptions& options, Context&) {
  auto file = Read(options.input, options);
  const int32_t pattern = ParseNumber(options.pattern, "PATTERN");
  if (pattern < 0 || pattern > 255) throw CLI::ValidationError("--pattern takes a byte, 0 to 255");
  const auto map = file.Image->Map();
  if (map->Count() > 0) {
    auto span = MemoryMap::New();
    const int32_t low = map->Item(1)->LowIndex();
    span->Add(low, map->Item(map->Count())->HighIndex() + 1 - low);
    const auto gaps = span->Exclude(*map)->MemoryImage(static_cast<uint8_t>(pattern));
    for (const auto& gap : *gaps) file.Image->Add(*gap);
  }
  Write(file, options);
  return 0;
}

// The first image without the addresses the second one holds.
int Exclude(const ImageOptions& options, Context&) {
  const auto first = Read(options.inputs.at(0), options);
  const auto second = Read(options.inputs.at(1), options);
  formats::ImageFile result = first;
  result.Image = MemoryImage::New();
  const auto kept = first.Image->Map()->Exclude(*second.Image->Map());
  for (const auto& segment : *kept) {
    if (segment->Count() > 0)
      result.Image->Add(*first.Image->MemoryRead(segment->LowIndex(), segment->Count()));
  }
  Write(result, options);
  return 0;
}

int Convert(const ImageOptions& options, Context&) {
  Write(Read(options.input, options), options);
  return 0;
}

}  // namespace

void AddImageCommand(CLI::App& app, Context& context, std::function<int()>& action) {
  auto* image = app.add_subcommand("image", "Memory images in Intel HEX, S-record or JSON files");
  image->require_subcommand(1);
  auto options = std::make_shared<ImageOptions>();
  const auto common = [&](CLI::App* command, bool writes) {
    command
        ->add_option("--format", options->format,
                     "Format of the input files: ihex, srec or json (default: by extension)")
        ->check(CLI::IsMember({"ihex", "srec", "json"}));
    if (writes) {
      command->add_option("-o,--output", options->output, "The file to write (replaced atomically)")
          ->required();
      command
          ->add_option("--out-format", options->out_format,
                       "Format of the output: ihex, srec or json (default: by extension)")
          ->check(CLI::IsMember({"ihex", "srec", "json"}));
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

  add("map", "Print the image's segments and its byte count", false, Map)
      ->add_option("FILE", options->input, "The image file")
      ->required()
      ->check(CLI::ExistingFile);
  add("merge", "Join several images into one; overlapping inputs are refused", true, Merge)
      ->add_option("FILES", options->inputs, "The image files")
      ->required()
      ->expected(1, -1)
      ->check(CLI::ExistingFile);
  auto* read =
      add("read", "Print bytes of the image as a hex dump with addresses", false, ReadBytes);
  read->add_option("FILE", options->input, "The image file")->required()->check(CLI::ExistingFile);
  read->add_option("ADDRESS", options->address, "First address (decimal, or hexadecimal after 0x)")
      ->required();
  read->add_option("COUNT", options->count, "Number of bytes")->required();
  auto* write = add("write", "Overwrite bytes the image holds", true, WriteBytes);
  write->add_option("FILE", options->input, "The image file")->required()->check(CLI::ExistingFile);
  write->add_option("ADDRESS", options->address, "First address (decimal, or hexadecimal after 0x)")
      ->required();
  write->add_option("HEX", options->hex, "The bytes in hexadecimal")->required();
  auto* fill =
      add("fill", "Fill the gaps between the image's lowest and highest address", true, Fill);
  fill->add_option("FILE", options->input, "The image file")->required()->check(CLI::ExistingFile);
  fill->add_option("--pattern", options->pattern, "The byte that fills the gaps (default 0)");
  add("exclude", "The first image without the addresses of the second", true, Exclude)
      ->add_option("FILES", options->inputs, "The image and the one whose addresses go")
      ->required()
      ->expected(2)
      ->check(CLI::ExistingFile);
  add("convert", "Write the image in another format", true, Convert)
      ->add_option("FILE", options->input, "The image file")
      ->required()
      ->check(CLI::ExistingFile);
}

}  // namespace ombrix::cli
