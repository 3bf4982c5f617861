#include "ombrix/fields/enumeration.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ombrix/frame/memory_property_bag.h"
#include "tests/expect_error.h"

namespace ombrix {
namespace {

using testing::ExpectError;

std::vector<std::string> Texts(const Enumeration& list) {
  std::vector<std::string> texts;
  for (const std::string& text : list) texts.push_back(text);
  return texts;
}

std::shared_ptr<Enumeration> Sample() {
  auto list = Enumeration::New();
  list->Add("A", 1);
  list->Add("B", 2);
  list->Add("A", 3);
  return list;
}

TEST(EnumerationTest, PositionsAreCheckedAndEnumeratorsWalkASnapshot) {
  auto list = Sample();
  EXPECT_EQ((*list)[3], "A");
  ExpectError([&] { list->Value("a"); }, 9);  // exact comparison
  for (const int32_t position : {0, 4}) {
    ExpectError([&] { list->Item(position); }, 9);
    ExpectError([&] { list->Remove(position); }, 9);
  }
  auto walker = list->NewEnum();
  list->Clear();  // changes nothing for the enumerator
  std::string text;
  std::vector<std::string> seen;
  while (walker->Next(text)) seen.push_back(text);
  EXPECT_EQ(seen, (std::vector<std::string>{"A", "B", "A"}));
  walker->Reset();
  EXPECT_TRUE(walker->Skip(2));
  EXPECT_TRUE(walker->Next(text));
  EXPECT_EQ(text, "A");
  EXPECT_FALSE(walker->Skip(1));

  list->Add("X", 1);
  list->Add("Y", 2);
  for (const std::string& item : *list) list->Add(item + "!", 0);  // adds while walking
  EXPECT_EQ(Texts(*list), (std::vector<std::string>{"X", "Y", "X!", "Y!"}));
}

// The lookups against a plain scan from position 1 (the first match), over
// random adds and removals with many repeats.
TEST(EnumerationTest, LookupsMatchAScanAfterRandomChanges) {
  std::mt19937 random(5);
  auto list = Enumeration::New();
  std::vector<std::pair<std::string, int32_t>> model;
  for (int step = 0; step < 2000; ++step) {
    if (model.empty() || random() % 3 != 0) {
      const std::string text = "t" + std::to_string(random() % 20);
      const auto value = static_cast<int32_t>(random() % 20);
      list->Add(text, value);
      model.emplace_back(text, value);
    } else {
      const auto position = static_cast<int32_t>(random() % model.size());
      list->Remove(position + 1);
      model.erase(model.begin() + position);
    }
    const auto probe = static_cast<int32_t>(random() % 21);
    const std::string text = "t" + std::to_string(probe);
    const auto by_value = std::find_if(model.begin(), model.end(),
                                       [&](const auto& pair) { return pair.second == probe; });
    const auto by_text = std::find_if(model.begin(), model.end(),
                                      [&](const auto& pair) { return pair.first == text; });
    // Find gives none exactly where Text and Value raise 9.
    const auto check = [&](auto find, auto get, auto expected) {
      ASSERT_EQ(find(), expected) << "step " << step;
      if (expected) {
        ASSERT_EQ(get(), *expected);
      } else {
        ExpectError(get, 9);
      }
    };
    check([&] { return list->FindText(probe); }, [&] { return list->Text(probe); },
          by_value == model.end() ? std::nullopt : std::optional(by_value->first));
    check([&] { return list->FindValue(text); }, [&] { return list->Value(text); },
          by_text == model.end() ? std::nullopt : std::optional(by_text->second));
  }
}

TEST(EnumerationTest, PersistenceRoundTripsAndHandMadeBags) {
  auto bag = MemoryPropertyBag::New();
  Enumeration::New()->WriteProperties(*bag);
  EXPECT_TRUE(bag->Keys().empty());
  EXPECT_EQ(Enumeration::Load(*bag)->Count(), 0);

  auto list = Sample();
  list->Add("Arrêt moteur", -7);
  list->WriteProperties(*bag);
  EXPECT_EQ(bag->Keys(), (std::vector<std::string>{"Count", "Text1", "Value1", "Text2", "Value2",
                                                   "Text3", "Value3", "Text4", "Value4"}));
  auto loaded = Enumeration::Load(*bag);
  EXPECT_EQ(Texts(*loaded), (std::vector<std::string>{"A", "B", "A", "Arrêt moteur"}));
  EXPECT_EQ(loaded->Value("Arrêt moteur"), -7);
  EXPECT_EQ(loaded->Text(3), "A");

  // A stored count beyond the pairs: the bag's missing-key error, pairs kept.
  bag->WriteProperty("Count", Variant(6));
  ExpectError([&] { loaded->ReadProperties(*bag); }, 5);
  EXPECT_EQ(loaded->Count(), 4);
  bag->WriteProperty("Count", Variant(2));
  bag->WriteProperty("Value2", Variant("x"));
  ExpectError([&] { loaded->ReadProperties(*bag); }, 13);
  EXPECT_EQ(loaded->Count(), 1);
  bag->WriteProperty("Value2", Variant(5e9));
  ExpectError([&] { loaded->ReadProperties(*bag); }, 6);
}

}  // namespace
}  // namespace ombrix
