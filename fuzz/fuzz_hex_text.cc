// Text let and Value let with arbitrary input, on a plain array, an
// Interval view and a Trail view, against a model of what each must do.
#include <vector>

#include "fuzz/fuzz_check.h"
#include "ombrix/bytes/hex_text_internal.h"
#include "ombrix/frame/text_encoding_internal.h"
#include "ombrix/frame/wrap_internal.h"

using namespace ombrix;

namespace {

// What Text let does to an array holding `bytes`: the error it raises and
// the bytes it leaves.
int32_t ModelText(const std::string& text, std::vector<uint8_t>& bytes) {
  const std::string units = detail::ToCodePage1252(text);  // lengths count characters
  if (units.size() % 2 != 0) return 1000;
  const size_t pairs = units.size() / 2;
  bytes.resize(pairs, 0);
  const size_t good = detail::DecodeHexReference(units.data(), pairs, bytes.data());
  return good == pairs ? 0 : 13;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t mode = in.Byte() % 4;
  std::vector<uint8_t> initial(static_cast<size_t>(in.Between(0, 24)));
  for (auto& b : initial) b = in.Byte();
  const int32_t offset = in.Between(-2, 26);
  const int32_t count = in.Between(-2, 12);
  const std::string text = in.Rest();
  auto parent = fuzz::ArrayOf(initial, 5);

  if (mode == 0) {  // a plain array
    std::vector<uint8_t> expected = initial;
    const int32_t model = ModelText(text, expected);
    FUZZ_CHECK(fuzz::ErrorOf([&] { parent->Text(text); }) == model);
    FUZZ_CHECK(fuzz::BytesOf(*parent) == (model == 1000 ? initial : expected));
    FUZZ_CHECK(parent->LowIndex() == 5);
    if (model == 0) FUZZ_CHECK(parent->Text().size() == 2 * expected.size());
    return 0;
  }
  if (mode == 3) {  // Value let with text: one byte per character, in code page 1252
    parent->Value(Variant(text));
    const std::string units = detail::ToCodePage1252(text);
    FUZZ_CHECK(fuzz::BytesOf(*parent) == std::vector<uint8_t>(units.begin(), units.end()));
    return 0;
  }

  // A view decodes into a fresh array first: decoding errors change nothing.
  std::vector<uint8_t> decoded;
  const int32_t decoding = ModelText(text, decoded);
  const auto view = parent->Interval(5 + offset, mode == 1 ? (count == 0 ? 1 : count) : 0);
  const int32_t view_count =
      mode == 1 ? (count == 0 ? 1 : count) : static_cast<int32_t>(initial.size()) - offset;
  const int32_t error = fuzz::ErrorOf([&] { view->Text(text); });
  std::vector<uint8_t> expected = initial;
  int32_t model = decoding;
  const auto n = static_cast<int32_t>(decoded.size());
  if (model == 0 && mode == 1) {  // Interval: same length, inside the parent
    if (n != view_count) {
      model = 1000;
    } else if (n > 0 && (offset < 0 || offset + n > static_cast<int32_t>(initial.size()))) {
      model = 9;
    } else {
      std::copy(decoded.begin(), decoded.end(), expected.begin() + std::max(offset, 0));
    }
  } else if (model == 0) {  // Trail: the parent resized to hold the text from offset on
    const int32_t new_count = detail::WrapAdd(offset, n);
    if (new_count < 0) {
      model = 1000;
    } else {
      expected.resize(static_cast<size_t>(new_count), 0);
      if (n > 0 && offset < 0) {
        model = 9;
      } else {
        std::copy(decoded.begin(), decoded.end(), expected.begin() + offset);
      }
    }
  }
  FUZZ_CHECK(error == model);
  FUZZ_CHECK(fuzz::BytesOf(*parent) == expected);
  return 0;
}
