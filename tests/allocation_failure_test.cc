// Every allocation a member makes fails in turn: the member raises error 7
// (or the error its input calls for), never lets std::bad_alloc out, and
// leaves its object usable. A program of its own, since it replaces the
// global operator new.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <new>
#include <ranges>
#include <string>
#include <vector>

#include "formats/dbc/dbc_file.h"
#include "formats/image/image_file.h"
#include "formats/json_property_bag.h"
#include "ombrix/ombrix.h"
#include "ombrix/signals/message_codec.h"

namespace {

// The allocation that fails: the countdown's last one; none while it is 0.
long countdown = 0;
bool failed = false;

void* Allocate(std::size_t size) {
  if (countdown > 0 && --countdown == 0) {
    failed = true;
    throw std::bad_alloc();
  }
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace ombrix {
namespace {

// Runs `step` with its first, second, ... allocation failing, until it runs
// through; each time, only ombrix::Error 7 may come out.
template <class Step>
void EachAllocationFails(const std::string& what, Step step) {
  for (long n = 1; n < 200000; ++n) {
    failed = false;
    countdown = n;
    std::string escaped;
    try {
      step();
    } catch (const Error& error) {
      if (error.Number() != 7) escaped = error.what();
    } catch (const formats::FileError& error) {
      escaped = error.what();
    } catch (const std::exception& error) {
      escaped = error.what();
    }
    countdown = 0;
    if (!escaped.empty() && failed) {
      ADD_FAILURE() << what << ", allocation " << n << " failing: " << escaped;
      return;
    }
    if (!failed) return;  // it ran through: every allocation was tried
  }
}

const std::string kIntelHex =
    ":020000040800F2\n:10000000000102030405060708090A0B0C0D0E0F78\n"
    ":10000000000102030405060708090A0B0C0D0E0F78\n:0200000490006A\n:0100000022DD\n"
    ":0400000508000101ED\n:00000001FF\ntrailer\n";

TEST(AllocationFailureTest, FormatsRaiseErrorSeven) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers bring their own operator new";
#endif
  EachAllocationFails("ParseIntelHex", [] {
    (void)formats::ParseImage(kIntelHex, formats::FileFormat::kIntelHex, "t.hex");
  });
  const formats::ImageFile file = formats::ParseIntelHex(kIntelHex, "t.hex");
  for (const auto format : {formats::FileFormat::kIntelHex, formats::FileFormat::kSRecord,
                            formats::FileFormat::kJson}) {
    const std::string text = formats::FormatImage(file, format);
    EachAllocationFails("FormatImage " + std::to_string(static_cast<int>(format)),
                        [&] { (void)formats::FormatImage(file, format); });
    EachAllocationFails("ParseImage " + std::to_string(static_cast<int>(format)),
                        [&] { (void)formats::ParseImage(text, format, "t"); });
  }
  auto bag = formats::JsonPropertyBag::New();
  bag->WriteProperty("Mixed", Variant(SafeArray<Variant>(0, {Variant(1.5), Variant::Null(),
                                                             Variant(SafeArray<uint8_t>(2, 3))})));
  bag->WriteProperty("Text", Variant("été"));
  const std::string json = bag->Text();
  EachAllocationFails("JsonPropertyBag::Text", [&] { (void)bag->Text(); });
  EachAllocationFails("JsonPropertyBag::Parse",
                      [&] { (void)formats::JsonPropertyBag::Parse(json, "bag.json"); });

  const std::string dbc =
      "BU_: A\nBO_ 1 M: 8 A\n SG_ S M : 0|8@1+ (1,0) [0|0] \"u\" A\n"
      " SG_ T m1 : 8|16@0- (0.5,1) [0|0] \"\" A\nCM_ SG_ 1 S \"x\";\nVAL_ 1 S 1 \"One\" ;\n";
  const signals::SignalDatabase database = formats::ParseDbc(dbc);
  EachAllocationFails("ParseDbc", [&] { (void)formats::ParseDbc(dbc); });
  EachAllocationFails("FormatDbc", [&] { (void)formats::FormatDbc(database); });
  EachAllocationFails("Problems", [&] { (void)signals::Problems(database); });
  const signals::MessageCodec codec(database.Messages.front());
  EachAllocationFails("MessageCodec",
                      [&] { (void)signals::MessageCodec(database.Messages.front()); });
  const std::map<std::string, signals::EncodedValue> values = {{"S", std::string("One")},
                                                               {"T", 2.5}};
  EachAllocationFails("MessageCodec::Encode", [&] { (void)codec.Encode(values); });
  const std::vector<uint8_t> frame = {1, 0, 5, 0, 0, 0, 0, 0};
  EachAllocationFails("MessageCodec::Decode", [&] { (void)codec.Decode(frame); });
}

TEST(AllocationFailureTest, MembersRaiseErrorSeven) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers bring their own operator new";
#endif
  auto array = ByteArray::New({1, 2, 3});
  EachAllocationFails("ByteArray Value of a string", [&] { array->Value(Variant("abcdé")); });
  // Running out of memory leaves the array as it was.
  const Variant items(SafeArray<Variant>(0, {Variant(7), Variant(8), Variant(9), Variant(10)}));
  EachAllocationFails("ByteArray Value of an array of variants", [&] {
    array->Value(Variant("abc"));
    try {
      array->Value(items);
    } catch (const Error&) {
      countdown = 0;
      EXPECT_EQ(array->Text(), "616263");
      throw;
    }
  });
  auto states = Enumeration::New();
  states->Add("Arrêt", 0);
  states->Add("Marche", 2);
  states->Add("Défaut", 3);
  states->Remove(1);
  EachAllocationFails("Enumeration lookups after Remove", [&] {
    (void)states->FindValue("Défaut");
    (void)states->FindText(2);
  });
  EachAllocationFails("Enumeration NewEnum", [&] { (void)states->NewEnum(); });
  EachAllocationFails("Enumeration range-for", [&] {
    for (const auto& text : *states) (void)text;
  });
  auto map = MemoryMap::New();
  map->Add(0, 16);
  map->Add(32, 16);
  EachAllocationFails("MemoryMap range-for", [&] {
    for (const auto& segment : *map) (void)segment;
  });
  EachAllocationFails("ScaledValue::New", [] { (void)ScaledValue::New(); });
  EachAllocationFails("RegionalSettings::User", [] { (void)RegionalSettings::User(); });
}

// An insert into a full block whose split finds no memory leaves the block
// over its size. Whichever allocation of the insert fails, every array is
// still found (past the block's 128th too), refused as an overlap, and the
// next insert splits what is left to split.
TEST(AllocationFailureTest, AFailedInsertLeavesEveryArrayFound) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers bring their own operator new";
#endif
  const uint8_t byte = 0x5A;
  std::vector<int32_t> held;
  for (int32_t k = 0; k < 128; ++k) held.push_back(4 * k);
  held.insert(held.begin() + 65, 4 * 64 + 2);
  failed = true;
  for (long n = 1; failed && n < 100; ++n) {
    auto image = MemoryImage::New();
    for (int32_t k = 0; k < 128; ++k) image->Add(4 * k, {&byte, 1});
    failed = false;
    countdown = n;
    try {
      image->Add(4 * 64 + 2, {&byte, 1});
    } catch (const Error& error) {
      ASSERT_EQ(error.Number(), 7);
    }
    countdown = 0;
    if (image->Count() == 128) continue;  // refused, nothing changed
    // From the highest down, so that the image searches its blocks before
    // it has read enough to index them.
    for (const int32_t address : std::views::reverse(held)) {
      ASSERT_NE(image->MemoryRead(address, 1), nullptr) << "allocation " << n << ", " << address;
      ASSERT_EQ(image->MemoryRead(address + 1, 1), nullptr) << address + 1;
      EXPECT_THROW(image->Add(address, {&byte, 1}), Error);
    }
    image->Add(4 * 10 + 2, {&byte, 1});
    EXPECT_EQ(image->Count(), 130);
  }
}

}  // namespace
}  // namespace ombrix
