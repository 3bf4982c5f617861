// ombrix crc HEX [--stamp | --check]
#include <iomanip>
#include <ostream>

#include "ombrix/bytes/byte_array.h"
#include "ombrix/checksum/crc.h"
#include "tools/cli.h"

namespace ombrix::cli {

uint16_t CrcOfHexText(std::string_view text) {
  auto frame = ByteArray::New();
  frame->Text(text);
  auto crc = CRC::New();
  crc->Append(*frame);
  return static_cast<uint16_t>(~crc->Register());
}

void AddCrcCommand(CLI::App& app, Context& context, std::function<int()>& action) {
  auto* command = app.add_subcommand(
      "crc", "The 16-bit frame check sequence (HDLC FCS-16, CRC-16/X.25) of a frame");
  auto hex = std::make_shared<std::string>();
  auto stamp = std::make_shared<bool>(false);
  auto check = std::make_shared<bool>(false);
  command
      ->add_option(
          "HEX", *hex,
          "The frame's bytes in hexadecimal (blanks allowed); - reads them from standard input")
      ->required();
  auto* stamp_flag =
      command->add_flag("--stamp", *stamp, "Print the frame with its two check bytes appended");
  command
      ->add_flag(
          "--check", *check,
          "Say whether a received frame, check bytes included, is intact (exit status 0 or 1)")
      ->excludes(stamp_flag);
  command->callback([&context, &action, hex, stamp, check] {
    action = [&context, hex, stamp, check] {
      auto frame = ByteArray::New();
      frame->Text(HexArgument(*hex, context));
      auto crc = CRC::New();
      crc->Append(*frame);
      if (*check) {
        context.out << (crc->Check() ? "intact" : "corrupt") << "\n";
        return crc->Check() ? 0 : 1;
      }
      if (*stamp) {
        frame->Count(frame->Count() + 2);
        crc->Send(*frame);
        context.out << frame->Text() << "\n";
        return 0;
      }
      context.out << std::uppercase << std::hex << std::setw(4) << std::setfill('0')
                  << (~crc->Register() & 0xFFFF) << std::dec << "\n";
      return 0;
    };
  });
}

}  // namespace ombrix::cli
