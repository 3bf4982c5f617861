#include "tools/cli.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <new>

#include "formats/file_error.h"
#include "ombrix/frame/error.h"

namespace ombrix::cli {

std::string HexArgument(const std::string& argument, Context& context) {
  std::string raw = argument;
  if (argument == "-") raw.assign(std::istreambuf_iterator<char>(context.in), {});
  std::string hex;
  hex.reserve(raw.size());
  for (const char c : raw) {
    if (!std::isspace(static_cast<unsigned char>(c))) hex += c;
  }
  return hex;
}

RegionalSettings SettingsNamed(const std::string& name) {
  if (name == "english") return RegionalSettings::English();
  if (name == "french") return RegionalSettings::French();
  return RegionalSettings::User();
}

uint64_t ParseUnsigned(const std::string& text, const char* what, uint64_t most) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string_view digits = std::string_view(text).substr(hex ? 2 : 0);
  const auto is_digit = [hex](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (hex ? std::isxdigit(byte) : std::isdigit(byte)) != 0;
  };
  const auto out_of_range = [&] {
    char range[64];
    std::snprintf(range, sizeof range, "0 to %llu (0x%llX)", static_cast<unsigned long long>(most),
                  static_cast<unsigned long long>(most));
    throw CLI::ValidationError(std::string(what) + " '" + text + "' is out of range: " + range);
  };
  // A negative whole number is a number, just not one that is allowed.
  const std::string_view magnitude = std::string_view(text).substr(text.starts_with('-') ? 1 : 0);
  if (text.starts_with('-') && !magnitude.empty() &&
      std::all_of(magnitude.begin(), magnitude.end(),
                  [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
    out_of_range();
  }
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), is_digit)) {
    throw CLI::ValidationError(std::string(what) + " '" + text +
                               "' is not a number (decimal, or hexadecimal after 0x)");
  }
  const uint64_t base = hex ? 16 : 10;
  uint64_t value = 0;
  for (const char c : digits) {
    const auto digit =
        static_cast<uint64_t>(std::isdigit(static_cast<unsigned char>(c))
                                  ? c - '0'
                                  : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    if (digit > most || value > (most - digit) / base) out_of_range();
    value = value * base + digit;
  }
  return value;
}

int Run(int argc, const char* const* argv, Context& context) {
  CLI::App app{"Byte-array utilities for diagnostic frames and memory images", "ombrix"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "ombrix " OMBRIX_VERSION);
  std::function<int()> action;
  AddCrcCommand(app, context, action);
  AddFieldCommand(app, context, action);
  AddImageCommand(app, context, action);
  AddSignalCommands(app, context, action);
  AddClassesCommand(app, context, action);
  AddTraceCommands(app, context, action);
  AddDemoCommand(app, context, action);
  try {
    app.parse(argc, argv);
    return action ? action() : 0;
  } catch (const CLI::ParseError& error) {
    // --help and --version are "errors" that print to out and succeed.
    return app.exit(error, context.out, context.err) == 0 ? 0 : 2;
  } catch (const std::bad_alloc&) {
    // What the library would raise, where a part outside it ran out.
    context.err << "ombrix: " << Error(errors::kOutOfMemory).what() << "\n";
  } catch (const std::exception& error) {
    // Library errors say "error N: ...", file errors name the file and line.
    context.err << "ombrix: " << error.what() << "\n";
  }
  return 2;
}

}  // namespace ombrix::cli
