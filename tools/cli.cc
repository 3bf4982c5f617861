#include "tools/cli.h"

#include <cctype>
#include <iostream>
#include <iterator>

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

int32_t ParseNumber(const std::string& text, const char* what) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  size_t used = 0;
  long long value = 0;
  try {
    value = std::stoll(digits, &used, hex ? 16 : 10);
  } catch (const std::exception&) {
    used = 0;
  }
  if (digits.empty() || used != digits.size() || value < INT32_MIN || value > INT32_MAX) {
    throw CLI::ValidationError(std::string(what) + " '" + text +
                               "' is not a number (decimal, or hexadecimal after 0x)");
  }
  return static_cast<int32_t>(value);
}

int Run(int argc, const char* const* argv, Context& context) {
  CLI::App app{"Byte-array utilities for diagnostic frames and memory images", "ombrix"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "ombrix " OMBRIX_VERSION);
  std::function<int()> action;
  AddCrcCommand(app, context, action);
  AddFieldCommand(app, context, action);
  AddImageCommand(app, context, action);
  AddDemoCommand(app, context, action);
  try {
    app.parse(argc, argv);
    return action ? action() : 0;
  } catch (const CLI::ParseError& error) {
    // --help and --version are "errors" that print to out and succeed.
    return app.exit(error, context.out, context.err) == 0 ? 0 : 2;
  } catch (const Error& error) {
    context.err << "ombrix: error " << error.Number() << ": " << error.Description();
    if (error.Source() != "Ombrix") context.err << " (" << error.Source() << ")";
    context.err << "\n";
  } catch (const formats::FileError& error) {
    context.err << "ombrix: " << error.what() << "\n";
  } catch (const CLI::Error& error) {
    context.err << "ombrix: " << error.what() << "\n";
  } catch (const std::exception& error) {
    context.err << "ombrix: " << error.what() << "\n";
  }
  return 2;
}

}  // namespace ombrix::cli
