// The ombrix command-line program: its subcommands, each registered on the
// argument parser by its own file, and what they share.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>

#include "formats/file_error.h"
#include "ombrix/frame/error.h"
#include "ombrix/frame/regional_settings.h"

namespace ombrix::cli {

/// Where a command reads and writes, and where the shipped samples are.
struct Context {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  std::string samples;
  /// Whether err is a terminal, where long work shows its progress.
  bool progress = false;
};

/// Runs the program with these arguments; returns the exit status: 0 done,
/// 1 a check that failed (crc --check), 2 an error (reported on err).
int Run(int argc, const char* const* argv, Context& context);

/// Registers each subcommand; the callback each sets runs when it is chosen.
void AddCrcCommand(CLI::App& app, Context& context, std::function<int()>& action);
void AddFieldCommand(CLI::App& app, Context& context, std::function<int()>& action);
void AddImageCommand(CLI::App& app, Context& context, std::function<int()>& action);
void AddDemoCommand(CLI::App& app, Context& context, std::function<int()>& action);
void AddSignalCommands(CLI::App& app, Context& context, std::function<int()>& action);
void AddClassesCommand(CLI::App& app, Context& context, std::function<int()>& action);
void AddTraceCommands(CLI::App& app, Context& context, std::function<int()>& action);

/// Hexadecimal text of bytes, blanks allowed between digits; "-" reads it
/// from the input.
std::string HexArgument(const std::string& argument, Context& context);
/// The regional settings named "user", "english" or "french".
RegionalSettings SettingsNamed(const std::string& name);
/// A whole number from 0 to `most`, "0x" hexadecimal or decimal;
/// CLI::ValidationError naming `what` for anything else, saying whether it
/// is not a number or out of range.
uint64_t ParseUnsigned(const std::string& text, const char* what, uint64_t most);

/// A library error raised while using an argument, named by it:
/// "--scale: error 6: Overflow".
class ArgumentError : public std::runtime_error {
 public:
  ArgumentError(const std::string& what, const std::string& message)
      : std::runtime_error(what + ": " + message) {}
};
/// Runs `step`; a library error it raises becomes an ArgumentError naming `what`.
template <class Step>
auto Naming(const std::string& what, Step&& step) -> decltype(step()) {
  try {
    return step();
  } catch (const Error& error) {
    throw ArgumentError(what, error.what());
  }
}

/// The frame check sequence of a frame given as hexadecimal text.
uint16_t CrcOfHexText(std::string_view text);

}  // namespace ombrix::cli
