// A small tour of ByteArray on a frame read from a file (one line of
// hexadecimal text): decode it, look at it through views, change a byte.
#include <fstream>
#include <iostream>
#include <string>

#include "ombrix/ombrix.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: ombrix_frame_demo FRAME.hex\n";
    return 2;
  }
  std::ifstream file(argv[1]);
  std::string text;
  if (!file || !std::getline(file, text)) {
    std::cerr << "cannot read " << argv[1] << "\n";
    return 2;
  }
  try {
    auto frame = ombrix::ByteArray::New();
    frame->Text(text);
    std::cout << "frame     " << frame->Text() << " (" << frame->Count() << " bytes, sum "
              << frame->Sum() << ")\n";
    auto header = frame->Interval(1, 2);
    auto payload = frame->Interval(3);
    std::cout << "header    " << header->Text() << "\n";
    std::cout << "payload   " << payload->Text() << "\n";
    payload->Item(1, 0x5A);  // writes the frame's third byte in place
    std::cout << "rewritten " << frame->Text() << "\n";
    frame->LowIndex(0);
    std::cout << "byte 0    " << frame->Item(0) << "\n";
    frame->Item(frame->HighIndex() + 1);  // one past the end
  } catch (const ombrix::Error& error) {
    std::cout << "error " << error.Number() << ": " << error.Description() << "\n";
  }
  return 0;
}
