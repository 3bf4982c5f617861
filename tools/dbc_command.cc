// ombrix dbc show FILE [MESSAGE]
// ombrix frame decode --dbc FILE ID HEX [--json]
// ombrix frame encode --dbc FILE MESSAGE SIGNAL=VALUE...
#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <ostream>

#include "formats/dbc/dbc_file.h"
#include "ombrix/bytes/byte_array.h"
#include "ombrix/frame/regional_settings.h"
#include "ombrix/frame/shortest_number_internal.h"
#include "ombrix/signals/message_codec.h"
#include "ombrix/signals/physical_text.h"
#include "tools/cli.h"
#include "tools/json_text.h"

namespace ombrix::cli {
namespace {

using namespace ombrix::signals;

std::string Hex(uint32_t value, int digits) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text(static_cast<size_t>(digits), '0');
  for (int k = digits - 1; k >= 0; --k, value >>= 4)
    text[static_cast<size_t>(k)] = kHex[value & 15];
  return text;
}

std::string IdText(const Message& message) {
  return "0x" + Hex(message.Id, message.Extended ? 8 : 3) + (message.Extended ? "x" : "");
}

void ShowDatabase(const SignalDatabase& db, std::ostream& out) {
  for (const Message& message : db.Messages) {
    out << IdText(message) << "  " << message.Name << "  " << message.Length << " bytes, "
        << message.Signals.size() << " signals" << (message.Sender.empty() ? "" : ", from ")
        << message.Sender << "\n";
  }
  out << db.Messages.size() << " messages\n";
}

void ShowMessage(const Message& message, std::ostream& out) {
  out << IdText(message) << "  " << message.Name << "  " << message.Length << " bytes\n";
  if (!message.Comment.empty()) out << "  " << message.Comment << "\n";
  out << "  signal: DBC start|length@order sign = the library's field (SkippedBits, NumBits), "
         "scale, limits, unit\n";
  for (const Signal& s : message.Signals) {
    const bool intel = s.Order == ByteOrder::Intel;
    out << "  " << s.Name;
    if (s.IsMultiplexer) out << " (multiplexer)";
    if (s.MultiplexValue) out << " (when the multiplexer is " << *s.MultiplexValue << ")";
    if (!s.MultiplexSwitch.empty()) out << " (selected by " << s.MultiplexSwitch << ")";
    out << ": " << s.StartBit << "|" << s.Length << "@" << (intel ? "1" : "0")
        << (s.Signed ? "-" : "+") << " = " << (intel ? "LittleEndian" : "BigEndian") << " ("
        << (intel ? IntelSkippedBits(s.StartBit) : MotorolaSkippedBits(s.StartBit)) << ", "
        << s.Length << ")";
    if (s.Type != ValueType::Integer) out << (s.Type == ValueType::Float ? ", float" : ", double");
    out << ", x" << Number(s.Factor) << " + " << Number(s.Offset) << ", [" << Number(s.Minimum)
        << ".." << Number(s.Maximum) << "]";
    if (!s.Unit.empty()) out << " " << s.Unit;
    out << "\n";
    for (const auto& [value, text] : s.Values) out << "      " << value << " = " << text << "\n";
  }
}

// A message given by a file identifier (extended ones with bit 31 set, or
// above 0x7FF) or by name.
const Message& FindMessage(const SignalDatabase& db, const std::string& given) {
  if (const Message* named = db.MessageNamed(given)) return *named;
  const uint64_t id = ParseUnsigned(given, "ID", 0xFFFFFFFF);
  const bool extended = (id & 0x80000000u) != 0 || id > 0x7FF;
  const Message* message = db.MessageWithId(static_cast<uint32_t>(id & 0x7FFFFFFFu), extended);
  if (message == nullptr) throw CLI::ValidationError("the database has no message " + given);
  return *message;
}

int Decode(const SignalDatabase& db, const std::string& id, const std::string& hex, bool json,
           Context& context) {
  const Message& message = FindMessage(db, id);
  auto frame = ByteArray::New();
  frame->Text(HexArgument(hex, context));
  const MessageCodec codec(message);
  const auto decoded = codec.Decode(std::as_const(*frame).Bytes());
  // Physical values as exact decimals where the factor and offset allow.
  const auto value_text = [](const DecodedSignal& s, const std::string& not_finite) {
    return std::isfinite(s.Value) ? PhysicalText(*s.Definition)(s) : not_finite;
  };
  if (json) {
    context.out << "{\"message\": " << JsonString(message.Name) << ", \"id\": " << message.FileId()
                << ", \"signals\": {";
    for (size_t k = 0; k < decoded.size(); ++k) {
      const DecodedSignal& s = decoded[k];
      context.out << (k == 0 ? "" : ", ") << JsonString(s.Definition->Name) << ": {\"raw\": "
                  << (s.Definition->Type == ValueType::Integer
                          ? (s.Definition->Signed
                                 ? std::to_string(static_cast<int64_t>(
                                                      s.Bits << (64 - s.Definition->Length)) >>
                                                  (64 - s.Definition->Length))
                                 : std::to_string(s.Bits))
                          : JsonNumber(s.Raw))
                  << ", \"value\": " << value_text(s, "null")
                  << ", \"unit\": " << JsonString(s.Definition->Unit)
                  << ", \"text\": " << (s.Text ? JsonString(*s.Text) : "null") << "}";
    }
    context.out << "}}\n";
    return 0;
  }
  context.out << message.Name << " (" << IdText(message) << ")\n";
  for (const DecodedSignal& s : decoded) {
    context.out << "  " << s.Definition->Name << " = " << value_text(s, Number(s.Value));
    if (!s.Definition->Unit.empty()) context.out << " " << s.Definition->Unit;
    if (s.Text) context.out << " (" << *s.Text << ")";
    context.out << "\n";
  }
  return 0;
}

int Encode(const SignalDatabase& db, const std::string& name, const std::vector<std::string>& pairs,
           Context& context) {
  const Message& message = FindMessage(db, name);
  std::map<std::string, EncodedValue> values;
  for (const std::string& pair : pairs) {
    const size_t equals = pair.find('=');
    if (equals == std::string::npos || equals == 0) {
      throw CLI::ValidationError("'" + pair + "' is not SIGNAL=VALUE");
    }
    const std::string value = pair.substr(equals + 1);
    // A number as typed in English, else the name of one of the signal's values.
    EncodedValue encoded = value;
    try {
      encoded = RegionalSettings::English().ParseStrict(value);
    } catch (const Error&) {
    }
    values[pair.substr(0, equals)] = encoded;
  }
  const std::vector<uint8_t> frame = MessageCodec(message).Encode(values);
  context.out << ByteArray::New(frame)->Text() << "\n";
  return 0;
}

}  // namespace

void AddSignalCommands(CLI::App& app, Context& context, std::function<int()>& action) {
  auto* dbc = app.add_subcommand("dbc", "Signal databases (DBC files)");
  dbc->require_subcommand(1);
  auto* show = dbc->add_subcommand(
      "show", "List a DBC file's messages, or one message's signals with both bit numberings");
  auto file = std::make_shared<std::string>();
  auto message = std::make_shared<std::string>();
  show->add_option("FILE", *file, "The DBC file")->required();
  show->add_option("MESSAGE", *message, "A message's name or identifier");
  show->callback([&context, &action, file, message] {
    action = [&context, file, message] {
      const SignalDatabase db = formats::ReadDbcFile(*file);
      if (message->empty()) {
        ShowDatabase(db, context.out);
      } else {
        ShowMessage(FindMessage(db, *message), context.out);
      }
      for (const std::string& problem : Problems(db))
        context.err << *file << ": " << problem << "\n";
      return 0;
    };
  });

  auto* frame = app.add_subcommand("frame", "Frames decoded and encoded with a signal database");
  frame->require_subcommand(1);
  auto* decode =
      frame->add_subcommand("decode", "A frame's signals: physical values, units, value names");
  auto database = std::make_shared<std::string>();
  auto id = std::make_shared<std::string>();
  auto hex = std::make_shared<std::string>();
  auto json = std::make_shared<bool>(false);
  decode->add_option("--dbc", *database, "The DBC file")->required();
  decode
      ->add_option("ID", *id,
                   "The message's identifier as in the DBC file (extended ones with bit 31 set, "
                   "or above 0x7FF), or its name")
      ->required();
  decode->add_option("HEX", *hex, "The frame's data bytes in hexadecimal; - reads standard input")
      ->required();
  decode->add_flag("--json", *json,
                   "One JSON object: {\"message\", \"id\", \"signals\": {name: {\"raw\", "
                   "\"value\", \"unit\", \"text\"}}}");
  decode->callback([&context, &action, database, id, hex, json] {
    action = [&context, database, id, hex, json] {
      return Decode(formats::ReadDbcFile(*database), *id, *hex, *json, context);
    };
  });
  auto* encode = frame->add_subcommand(
      "encode", "A frame from signal values (physical values, or value names), zeros elsewhere");
  auto encode_database = std::make_shared<std::string>();
  auto name = std::make_shared<std::string>();
  auto pairs = std::make_shared<std::vector<std::string>>();
  encode->add_option("--dbc", *encode_database, "The DBC file")->required();
  encode->add_option("MESSAGE", *name, "The message's name or identifier")->required();
  encode->add_option("SIGNAL=VALUE", *pairs,
                     "Each signal's physical value (rounded to the nearest raw value, ties to "
                     "even) or the name of one of its values");
  encode->callback([&context, &action, encode_database, name, pairs] {
    action = [&context, encode_database, name, pairs] {
      return Encode(formats::ReadDbcFile(*encode_database), *name, *pairs, context);
    };
  });
}

}  // namespace ombrix::cli
