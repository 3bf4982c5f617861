// ombrix demo: the typical road of a frame received from a unit, on the
// sample frame that ships with the project: check, decode, scale, name,
// rewrite, re-stamp.
#include <ostream>
#include <sstream>

#include "formats/file_io.h"
#include "formats/json_property_bag.h"
#include "ombrix/bytes/byte_array.h"
#include "ombrix/checksum/crc.h"
#include "ombrix/fields/big_endian.h"
#include "ombrix/fields/enumeration.h"
#include "ombrix/fields/little_endian.h"
#include "ombrix/fields/scaled_value.h"
#include "tools/cli.h"

namespace ombrix::cli {
namespace {

int RunDemo(const std::string& samples, const std::string& settings, Context& context) {
  std::ostringstream out;  // printed once everything has worked
  const std::string frame_file = samples + "/demo_frame.hex";
  auto frame = ByteArray::New();
  frame->Text(HexArgument(formats::ReadFile(frame_file), context));
  out << "1. Frame read from " << frame_file << ": " << frame->Text() << " (" << frame->Count()
      << " bytes)\n";

  auto crc = CRC::New();
  crc->Append(*frame);
  out << "2. Check sequence over the whole frame: " << (crc->Check() ? "intact" : "corrupt")
      << "\n";

  // Speed: 16 bits after the first byte; engine speed: 16 bits at byte 4.
  auto speed = LittleEndian::New();
  auto speed_motorola = BigEndian::New();
  speed->RefersTo(*frame, 8, 16, false);
  speed_motorola->RefersTo(*frame, 8, 16, false);
  auto rpm = BigEndian::New();
  auto rpm_intel = LittleEndian::New();
  rpm->RefersTo(*frame, 32, 16, false);
  rpm_intel->RefersTo(*frame, 32, 16, false);
  out << "3. Field at bits 8-23:  Intel " << speed->Value() << ", Motorola "
      << speed_motorola->Value() << " (mask " << speed->Mask() << ")\n";
  out << "   Field at bits 32-47: Intel " << rpm_intel->Value() << ", Motorola " << rpm->Value()
      << " (mask " << rpm->Mask() << ")\n";

  auto scaled = ScaledValue::New();
  scaled->RefersTo(speed);
  const RegionalSettings numbers = SettingsNamed(settings);
  scaled->Settings(numbers);
  scaled->CoeffA(0.01);
  scaled->Precision(2);
  scaled->Unit("km/h");
  out << "4. Vehicle speed (Intel raw x 0.01): " << scaled->Text() << " " << scaled->Unit()
      << ", range " << numbers.Format(scaled->Min(), 2) << " to "
      << numbers.Format(scaled->Max(), 2) << "\n";

  auto state = LittleEndian::New();
  state->RefersTo(*frame, 48, 4, false);
  const std::string states_file = samples + "/states.json";
  auto states = Enumeration::Load(*formats::JsonPropertyBag::Load(states_file));
  out << "5. Engine state (bits 48-51) " << state->Value() << ": " << states->Text(state->Value())
      << " (from " << states_file << ")\n";

  auto data = frame->Interval(1, frame->Count() - 2);
  scaled->Text(numbers.Format(88.5, 1));
  out << "6. Speed set to " << scaled->Text() << " " << scaled->Unit() << ": " << frame->Text()
      << " (the old check bytes no longer fit)\n";

  crc->Clear();
  crc->Append(*data);
  crc->Send(*frame);
  crc->Clear();
  crc->Append(*frame);
  out << "7. Check bytes stamped again: " << frame->Text() << ", "
      << (crc->Check() ? "intact" : "corrupt") << "\n";
  context.out << out.str();
  return 0;
}

}  // namespace

void AddDemoCommand(CLI::App& app, Context& context, std::function<int()>& action) {
  auto* command = app.add_subcommand(
      "demo", "Walk a sample frame through check, decode, scale, name, rewrite and stamp");
  auto samples = std::make_shared<std::string>(context.samples);
  auto settings = std::make_shared<std::string>("user");
  command->add_option("--samples", *samples, "The folder of the shipped samples")
      ->check(CLI::ExistingDirectory);
  command
      ->add_option("--settings", *settings, "Number format: user (the locale's), english or french")
      ->check(CLI::IsMember({"user", "english", "french"}));
  command->callback([&context, &action, samples, settings] {
    action = [&context, samples, settings] { return RunDemo(*samples, *settings, context); };
  });
}

}  // namespace ombrix::cli
