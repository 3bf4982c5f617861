#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "ombrix/bytes/byte_array.h"
#include "ombrix/bytes/hex_text_internal.h"
#include "tests/byte_array_testing.h"
#include "tests/expect_error.h"

namespace ombrix {
namespace {

using testing::Bytes;
using testing::ExpectError;

// Pairs both ways are in the views' typed suite; here, what is particular to text.
TEST(HexTextTest, LengthsCountCharactersAndEmptyTextEmpties) {
  auto a = ByteArray::New({10, 255, 0}, -4);
  EXPECT_EQ(a->Text(), "0AFF00");
  a->Text("");
  EXPECT_EQ(a->Count(), 0);
  EXPECT_EQ(a->LowIndex(), -4);
  a->Text("0102");
  // "é" is one character, so "é12" is odd.
  ExpectError([&] { a->Text("é12"); }, 1000, testing::kOddText);
  EXPECT_EQ(Bytes(*a), (std::vector<uint8_t>{1, 2}));
}

#if !defined(__SANITIZE_ADDRESS__)  // it reserves address space of its own
// Runs `step` in a child process whose address space may grow by only
// `room` bytes; true when the step returned true.
bool InChildWithRoom(size_t room, const std::function<bool()>& step) {
  const pid_t child = fork();
  if (child == 0) {
    std::ifstream status("/proc/self/status");
    size_t used_kib = 0;
    for (std::string line; std::getline(status, line);) {
      if (line.starts_with("VmSize:")) used_kib = std::stoul(line.substr(7));
    }
    const rlimit limit{used_kib * 1024 + room, used_kib * 1024 + room};
    setrlimit(RLIMIT_AS, &limit);
    bool passed = false;
    try {
      passed = step();
    } catch (...) {
    }
    _exit(passed ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool RaisesOutOfMemory(const std::function<void()>& statement) {
  try {
    statement();
  } catch (const Error& error) {
    return error.Number() == 7;
  }
  return false;
}
#endif

// Hexadecimal text twice the size of an array that just fits in memory: the
// allocation fails as error 7 and the array stays as it was; the same for a
// view on it, and for text converted from UTF-8 to the code page.
TEST(HexTextTest, TextTooLargeForMemoryRaisesOutOfMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves address space of its own";
#else
  constexpr int32_t kBytes = 256 << 20;
  const auto big = [] {
    auto array = ByteArray::New();
    array->Count(kBytes);
    array->Item(kBytes, 0xAB);
    return array;
  };
  EXPECT_TRUE(InChildWithRoom(kBytes * 3 / 2, [&] {
    auto array = big();
    return RaisesOutOfMemory([&] { (void)array->Text(); }) && array->Item(kBytes) == 0xAB;
  }));
  EXPECT_TRUE(InChildWithRoom(kBytes * 5 / 2, [&] {
    return RaisesOutOfMemory([&] { (void)big()->Interval(1)->Text(); });
  }));
  EXPECT_TRUE(InChildWithRoom(kBytes * 3 / 2, [&] {
    std::string accented(static_cast<size_t>(kBytes), 'e');
    accented.replace(0, 2, "é");
    auto array = ByteArray::New({1, 2});
    return RaisesOutOfMemory([&] { array->Text(accented); }) && array->Text() == "0102";
  }));
#endif
}

class HexTextRejectTest : public ::testing::TestWithParam<std::string> {};

// The pairs before the bad one are written, later bytes keep their values,
// and bytes the array grew by are 0.
TEST_P(HexTextRejectTest, RaisesAtTheBadPairKeepingLaterBytes) {
  auto a = ByteArray::New({7});
  const std::string text = "0102" + GetParam() + "04";
  a->Text("AABBCCDD");
  ExpectError([&] { a->Text(text); }, 13);
  EXPECT_EQ(Bytes(*a), (std::vector<uint8_t>{1, 2, 0xCC, 0xDD}));
  auto one = ByteArray::New({7});
  ExpectError([&] { one->Text(GetParam()); }, 13);
  EXPECT_EQ(Bytes(*one), (std::vector<uint8_t>{7}));
}

INSTANTIATE_TEST_SUITE_P(BadPairs, HexTextRejectTest,
                         ::testing::Values("0G", "G0", "&h", " 1", "1 ", "-1", "+1", "é1",
                                           "0:", "@1", "`1", "0g", std::string{'\0', '1'},
                                           std::string{'\xFF', '0'}));

// The fast kernels against the plain table loops on random data of every
// length up to 300, with a bad character at a random place half the time.
TEST(HexTextTest, FastKernelsMatchTableLoops) {
  std::mt19937 random(20261206);
  for (size_t length = 0; length <= 300; ++length) {
    SCOPED_TRACE(length);
    std::vector<uint8_t> bytes(length);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    std::string fast(2 * length, '\0'), plain(2 * length, '\0');
    detail::EncodeHex(bytes.data(), length, fast.data());
    detail::EncodeHexReference(bytes.data(), length, plain.data());
    ASSERT_EQ(fast, plain);
    if (length > 0 && random() % 2) fast[random() % fast.size()] = static_cast<char>(random());
    std::vector<uint8_t> decoded_fast(length, 0x5A), decoded_plain(length, 0x5A);
    ASSERT_EQ(detail::DecodeHex(fast.data(), length, decoded_fast.data()),
              detail::DecodeHexReference(fast.data(), length, decoded_plain.data()));
    ASSERT_EQ(decoded_fast, decoded_plain);
  }
}

}  // namespace
}  // namespace ombrix
