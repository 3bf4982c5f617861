// Sequences of operations on an array and views of it (resizing, moving
// LowIndex, views of views, single and whole writes, fills, sums, copies
// between overlapping views), each compared with a plain model of the bytes:
// the same result or the same error, and the same bytes afterwards.
#include <numeric>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "ombrix/bytes/byte_array_trail.h"
#include "ombrix/frame/wrap_internal.h"

using namespace ombrix;
using detail::WrapAdd;
using detail::WrapSub;

namespace {

constexpr int32_t kMaxBytes = 4096;  // the model never lets the parent grow past this

// An array seen by the model: the parent itself, or a view of it.
struct Target {
  std::shared_ptr<IByteArray> real;
  bool parent = false;
  bool trail = false;
  int32_t offset = 0;  // store position of the first byte
  int32_t count = 0;   // an Interval view's own count
  int32_t low = 1;
};

struct Model {
  std::vector<uint8_t> bytes;
  std::shared_ptr<ByteArray> parent = ByteArray::New();
  std::vector<Target> targets;

  int64_t Size() const { return static_cast<int64_t>(bytes.size()); }
  int32_t CountOf(const Target& t) const {
    if (t.parent) return static_cast<int32_t>(bytes.size());
    return t.trail ? WrapSub(static_cast<int32_t>(bytes.size()), t.offset) : t.count;
  }
  int64_t Position(const Target& t, int32_t index) const {
    return static_cast<int64_t>(t.offset) + (static_cast<int64_t>(index) - t.low);
  }
  bool Holds(int64_t position) const { return position >= 0 && position < Size(); }
  // The checks of a block copy of n bytes from store position `from` to `to`.
  bool Movable(int64_t from, int64_t to, int64_t n) const {
    return n <= 0 || (from >= 0 && from + n <= Size() && to >= 0 && to + n <= Size());
  }
};

void CheckSame(const Model& model) {
  FUZZ_CHECK(fuzz::BytesOf(*model.parent) == model.bytes);
  for (const Target& t : model.targets) FUZZ_CHECK(t.real->Count() == model.CountOf(t));
}

std::string Hex(const uint8_t* bytes, int64_t n) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (int64_t k = 0; k < n; ++k) {
    text += kDigits[bytes[k] >> 4];
    text += kDigits[bytes[k] & 15];
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  Model model;
  model.targets.push_back(Target{model.parent, true});
  for (int step = 0; step < 64 && !in.empty(); ++step) {
    Target& t = model.targets[in.Byte() % model.targets.size()];
    const int32_t count_before = model.CountOf(t);
    switch (in.Byte() % 12) {
      case 0: {  // resize the parent
        const int32_t n = in.Between(-2, 48);
        FUZZ_CHECK(fuzz::ErrorOf([&] { model.parent->Count(n); }) == (n < 0 ? 1000 : 0));
        if (n >= 0) model.bytes.resize(static_cast<size_t>(n), 0);
        break;
      }
      case 1: {  // move a LowIndex; views stay on their bytes
        const int32_t low = in.Byte() % 8 == 0 ? in.Any() : in.Between(-100, 100);
        t.real->LowIndex(low);
        t.low = low;
        break;
      }
      case 2: {  // a view of the parent or of a view
        if (model.targets.size() >= 6) break;
        const int32_t index = WrapAdd(t.low, in.Between(-4, 50));
        const int32_t count = in.Between(-3, 20);
        Target view{t.real->Interval(index, count)};
        const int32_t relative = WrapSub(index, t.low);
        view.offset = WrapAdd(t.offset, relative);
        if (!t.parent && !t.trail) {  // an Interval view always yields one
          view.count = count != 0 ? count : WrapSub(t.count, relative);
        } else {
          view.trail = count == 0;
          view.count = count;
        }
        FUZZ_CHECK((std::dynamic_pointer_cast<ByteArrayTrail>(view.real) != nullptr) == view.trail);
        model.targets.push_back(view);
        break;
      }
      case 3:
      case 4: {  // one byte
        const int32_t index = WrapAdd(t.low, in.Between(-3, 50));
        const int64_t position = model.Position(t, index);
        if (in.Byte() & 1) {
          int32_t got = -1;
          FUZZ_CHECK(fuzz::ErrorOf([&] { got = t.real->Item(index); }) ==
                     (model.Holds(position) ? 0 : 9));
          if (model.Holds(position)) FUZZ_CHECK(got == model.bytes[static_cast<size_t>(position)]);
        } else {
          const int32_t value = in.Any();
          FUZZ_CHECK(fuzz::ErrorOf([&] { t.real->Item(index, value); }) ==
                     (model.Holds(position) ? 0 : 9));
          if (model.Holds(position))
            model.bytes[static_cast<size_t>(position)] = static_cast<uint8_t>(value);
        }
        break;
      }
      case 5: {  // fill: the parent checks the whole stretch first
        const uint8_t pattern = in.Byte();
        const int64_t n = count_before;
        const bool fits = t.offset >= 0 && t.offset + n <= model.Size();
        FUZZ_CHECK(fuzz::ErrorOf([&] { t.real->Fill(pattern); }) == (fits ? 0 : 9));
        if (fits && n > 0) std::fill_n(model.bytes.begin() + t.offset, n, pattern);
        break;
      }
      case 6: {  // sum
        int32_t got = 0;
        const int32_t error = fuzz::ErrorOf([&] { got = t.real->Sum(); });
        const int64_t end =
            t.trail || t.parent ? model.Size() : static_cast<int64_t>(t.offset) + t.count;
        if (!t.parent && !t.trail && t.count == 0) {
          FUZZ_CHECK(error == 0 && got == 0);
        } else if (t.offset < 0 || end > model.Size()) {
          FUZZ_CHECK(error == 9);
        } else {
          const uint32_t sum = end <= t.offset ? 0u
                                               : std::accumulate(model.bytes.begin() + t.offset,
                                                                 model.bytes.begin() + end, 0u);
          FUZZ_CHECK(error == 0 && got == static_cast<int32_t>(sum));
        }
        break;
      }
      case 7: {  // whole read, through a temporary array of the target's count
        if (count_before > kMaxBytes) break;
        std::string got;
        const int32_t error = fuzz::ErrorOf([&] { got = t.real->Text(); });
        const int64_t n = count_before;
        if (n < 0) {
          FUZZ_CHECK(error == 1000);
        } else if (n > 0 && !(t.offset >= 0 && t.offset + n <= model.Size())) {
          FUZZ_CHECK(error == 9);
        } else {
          FUZZ_CHECK(error == 0 && got == (n == 0 ? "" : Hex(model.bytes.data() + t.offset, n)));
        }
        break;
      }
      case 8: {  // whole write of k bytes
        const int32_t k = in.Between(0, 10);
        std::vector<uint8_t> written(static_cast<size_t>(k));
        for (auto& b : written) b = in.Byte();
        const int64_t grown = static_cast<int64_t>(t.offset) + k;
        if (t.trail && grown > kMaxBytes) break;
        const int32_t error = fuzz::ErrorOf([&] { t.real->Text(Hex(written.data(), k)); });
        if (t.parent) {
          FUZZ_CHECK(error == 0);
          model.bytes = written;
        } else if (!t.trail) {
          const bool fits = t.offset >= 0 && t.offset + k <= model.Size();
          FUZZ_CHECK(error == (k != t.count ? 1000 : (k > 0 && !fits) ? 9 : 0));
          if (error == 0 && k > 0)
            std::copy(written.begin(), written.end(), model.bytes.begin() + t.offset);
        } else if (WrapAdd(t.offset, k) < 0) {
          FUZZ_CHECK(error == 1000);
        } else {
          model.bytes.resize(static_cast<size_t>(WrapAdd(t.offset, k)), 0);
          FUZZ_CHECK(error == (k > 0 && t.offset < 0 ? 9 : 0));
          if (error == 0 && k > 0)
            std::copy(written.begin(), written.end(), model.bytes.begin() + t.offset);
        }
        break;
      }
      case 9: {  // copy from another target, overlapping or not
        Target& source = model.targets[in.Byte() % model.targets.size()];
        const int32_t n = model.CountOf(source);
        if ((t.trail && static_cast<int64_t>(t.offset) + n > kMaxBytes) ||
            (t.parent && n > kMaxBytes))
          break;
        const int32_t error = fuzz::ErrorOf([&] { t.real->Copy(*source.real); });
        const auto move = [&](int64_t to, int64_t count) {
          const int64_t from = source.offset;
          if (!model.Movable(from, to, count)) return 9;
          if (count > 0) {
            std::vector<uint8_t> block(model.bytes.begin() + from,
                                       model.bytes.begin() + from + count);
            std::copy(block.begin(), block.end(), model.bytes.begin() + to);
          }
          return 0;
        };
        int32_t expected;
        if (t.parent) {
          if (n < 0) {
            expected = 1000;
          } else {
            model.bytes.resize(static_cast<size_t>(n), 0);
            expected = move(0, n);
          }
        } else if (!t.trail) {
          expected = n != t.count ? 1000 : move(t.offset, n);
        } else if (WrapAdd(t.offset, n) < 0) {
          expected = 1000;
        } else {
          model.bytes.resize(static_cast<size_t>(WrapAdd(t.offset, n)), 0);
          expected = move(t.offset, model.CountOf(source));  // read again after the resize
        }
        FUZZ_CHECK(error == expected);
        break;
      }
      default: {  // skip
        const uint8_t pattern = in.Byte();
        const int32_t start = WrapAdd(t.low, in.Between(-3, 50));
        const int64_t position = model.Position(t, start);
        int32_t got = -1;
        const int32_t error = fuzz::ErrorOf([&] { got = t.real->Skip(pattern, start); });
        if (position < 0) {
          FUZZ_CHECK(error == 9);
        } else {
          int64_t run = 0;
          while (position + run < model.Size() &&
                 model.bytes[static_cast<size_t>(position + run)] == pattern)
            ++run;
          FUZZ_CHECK(error == 0 && got == run);
        }
      }
    }
    CheckSame(model);
  }
  return 0;
}
