// A diagnostic exchange over a serial line: decode the response to "read
// data by identifier" (service 0x22) for the engine speed, then build the
// "write data by identifier" request (service 0x2E) that sets a new idle
// target, with the line's HDLC check bytes.
#include <iostream>

#include "ombrix/ombrix.h"

using namespace ombrix;

int main() try {
  // The response as it came off the line: 62 (positive response to 0x22),
  // the identifier F40C, the raw engine speed (quarters of a revolution per
  // minute, high byte first), then the two check bytes.
  const auto response = ByteArray::New({0x62, 0xF4, 0x0C, 0x1B, 0x58, 0xDC, 0x77});
  std::cout << "response    " << *response << "\n";
  if (!CRC::Intact(*response)) {
    std::cout << "response is corrupt\n";
    return 1;
  }

  auto services = Enumeration::New();
  services->Add("ReadDataByIdentifier", 0x22);
  services->Add("WriteDataByIdentifier", 0x2E);
  const auto service = services->FindText((*response)[1] - 0x40);
  std::cout << "service     " << service.value_or("unknown") << "\n";

  // Fields bound to the response: they read its bytes in place.
  auto identifier = BigEndian::New();
  identifier->RefersTo(*response, {.SkippedBits = 8, .NumBits = 16});
  auto raw_speed = BigEndian::New();
  raw_speed->RefersTo(*response, {.SkippedBits = 24, .NumBits = 16});
  auto speed = ScaledValue::New();
  speed->RefersTo(raw_speed);
  speed->CoeffA(0.25);
  speed->Precision(2);
  speed->Settings(RegionalSettings::English());
  std::cout << "identifier  " << std::hex << std::uppercase << identifier->Value() << std::dec
            << "\n";
  std::cout << "speed       " << speed->Text() << " rpm (raw " << raw_speed->Value() << ")\n";

  // The request: 2E, the idle-target identifier 0110, the raw value of
  // 850 rpm in the same scale, then the check bytes.
  auto request = ByteArray::New({0x2E, 0x01, 0x10, 0x00, 0x00});
  auto target = BigEndian::New();
  target->RefersTo(*request, {.SkippedBits = 24, .NumBits = 16});
  target->Value(speed->ToRaw(850));
  CRC::Stamp(*request);
  std::cout << "request     " << *request << (CRC::Intact(*request) ? ", intact" : "") << "\n";
  return 0;
} catch (const Error& error) {
  std::cerr << error << "\n";
  return 2;
}
