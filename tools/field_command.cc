// ombrix field HEX --intel|--motorola --skip N --bits N [--signed] [--scale A,B,C]
//   [--precision P] [--unit U] [--enum FILE] [--settings NAME] [--set VALUE]
#include <optional>
#include <ostream>
#include <sstream>

#include "formats/json_property_bag.h"
#include "ombrix/bytes/byte_array.h"
#include "ombrix/fields/big_endian.h"
#include "ombrix/fields/enumeration.h"
#include "ombrix/fields/little_endian.h"
#include "ombrix/fields/scaled_value.h"
#include "tools/cli.h"

namespace ombrix::cli {
namespace {

struct FieldOptions {
  std::string hex;
  bool intel = false;
  bool motorola = false;
  std::string skip_text;
  std::string bits_text;
  int32_t skip = 0;
  int32_t bits = 0;
  bool is_signed = false;
  std::string scale;
  std::optional<int32_t> precision;
  std::string unit;
  std::string enumeration;
  std::string settings = "user";
  std::optional<std::string> set;
};

// "A,B,C" as three numbers written with a point; C may not be 0.
void ApplyScale(const std::string& text, ScaledValue& scaled) {
  double coefficients[3];
  size_t start = 0;
  for (int k = 0; k < 3; ++k) {
    const size_t comma = k < 2 ? text.find(',', start) : text.size();
    if (comma == std::string::npos)
      throw CLI::ValidationError("--scale takes three numbers: A,B,C");
    const std::string number = text.substr(start, comma - start);
    coefficients[k] = Naming("--scale '" + number + "'",
                             [&] { return RegionalSettings::English().ParseStrict(number); });
    start = comma + 1;
  }
  if (start <= text.size() && text.find(',', start) != std::string::npos) {
    throw CLI::ValidationError("--scale takes three numbers: A,B,C");
  }
  if (coefficients[2] == 0) throw CLI::ValidationError("--scale: C divides, so it cannot be 0");
  scaled.CoeffA(coefficients[0]);
  scaled.CoeffB(coefficients[1]);
  scaled.CoeffC(coefficients[2]);
}

int RunField(const FieldOptions& options, Context& context) {
  auto frame = ByteArray::New();
  Naming("HEX", [&] { frame->Text(HexArgument(options.hex, context)); });
  std::shared_ptr<NumericItem> item;
  if (options.intel) {
    item = LittleEndian::New();
  } else {
    item = BigEndian::New();
  }
  Naming("--skip " + std::to_string(options.skip) + " --bits " + std::to_string(options.bits),
         [&] { item->RefersTo(*frame, options.skip, options.bits, options.is_signed); });

  auto scaled = ScaledValue::New();
  scaled->RefersTo(item);
  scaled->Settings(SettingsNamed(options.settings));
  scaled->Unit(options.unit);
  if (!options.scale.empty()) ApplyScale(options.scale, *scaled);
  scaled->Precision(options.precision.value_or(options.scale.empty() ? 0 : -1));
  std::shared_ptr<Enumeration> states;
  if (!options.enumeration.empty()) {
    states = Enumeration::Load(*formats::JsonPropertyBag::Load(options.enumeration));
  }

  if (options.set) {
    // A state's text when the enumeration has it, otherwise a physical
    // value as a person types it: group separators only where they belong.
    Naming("--set '" + *options.set + "'", [&] {
      const auto state = states ? states->FindValue(*options.set) : std::nullopt;
      if (state) {
        item->Value(*state);
      } else {
        scaled->Value(scaled->Settings().ParseStrict(*options.set));
      }
    });
    context.out << frame->Text() << "\n";
    return 0;
  }
  // Everything is worked out before anything is printed.
  const std::string field = "the field (--skip " + std::to_string(options.skip) + " --bits " +
                            std::to_string(options.bits) + ")";
  const int32_t raw = Naming(field, [&] { return item->Value(); });
  const std::string value = Naming(field + " scaled", [&] { return scaled->Text(); });
  std::string state;
  if (states) {
    state = Naming("--enum " + options.enumeration + ": the state " + std::to_string(raw),
                   [&] { return states->Text(raw); });
  }
  std::ostringstream out;
  out << "raw    " << raw << "\n";
  out << "value  " << value << (options.unit.empty() ? "" : " " + options.unit) << "\n";
  if (states) out << "state  " << state << "\n";
  out << "mask   " << item->Mask() << "\n";
  context.out << out.str();
  return 0;
}

}  // namespace

void AddFieldCommand(CLI::App& app, Context& context, std::function<int()>& action) {
  auto* command = app.add_subcommand("field", "Read or rewrite a numeric bit field of a frame");
  auto options = std::make_shared<FieldOptions>();
  command
      ->add_option("HEX", options->hex,
                   "The frame's bytes in hexadecimal; - reads them from standard input")
      ->required();
  auto* intel = command->add_flag("--intel", options->intel,
                                  "Low-order byte first, bits counted from each byte's low end");
  auto* motorola = command->add_flag("--motorola", options->motorola,
                                     "High-order byte first, bits counted from each byte's top");
  intel->excludes(motorola);
  command->add_option("--skip", options->skip_text, "Bits before the field")->required();
  command->add_option("--bits", options->bits_text, "Bits in the field, 1 to 32")->required();
  command->add_flag("--signed", options->is_signed, "The field holds a two's-complement number");
  command->add_option("--scale", options->scale,
                      "Physical value = (raw * A + B) / C, given as A,B,C");
  command
      ->add_option("--precision", options->precision,
                   "Decimals shown, 0 to 20; -1 for the regional default")
      ->check(CLI::Range(-1, 20));
  command->add_option("--unit", options->unit, "The physical value's unit, shown after it");
  command
      ->add_option("--enum", options->enumeration,
                   "A JSON file of text/value pairs naming the field's states")
      ->check(CLI::ExistingFile);
  command
      ->add_option("--settings", options->settings,
                   "Number format: user (the locale's), english or french")
      ->check(CLI::IsMember({"user", "english", "french"}));
  command->add_option(
      "--set", options->set,
      "Write this physical value (or state text) into the field and print the frame");
  command->callback([&context, &action, options] {
    if (!options->intel && !options->motorola) {
      throw CLI::RequiredError("--intel or --motorola");
    }
    options->skip = static_cast<int32_t>(ParseUnsigned(options->skip_text, "--skip", INT32_MAX));
    options->bits = static_cast<int32_t>(ParseUnsigned(options->bits_text, "--bits", INT32_MAX));
    action = [&context, options] { return RunField(*options, context); };
  });
}

}  // namespace ombrix::cli
