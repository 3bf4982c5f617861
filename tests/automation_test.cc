#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ombrix/automation/late_binding.h"
#include "ombrix/frame/regional_settings.h"
#include "tests/expect_error.h"

namespace ombrix::automation {
namespace {

using testing::ExpectError;
using testing::StandardText;

// One object of every class, tied together as clients tie them. Two worlds
// built alike behave alike: one is driven by late binding, the other by the
// static C++ calls, and their states are compared after every member.
struct World {
  World() {
    array = ByteArray::New({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0}, 5);
    interval = std::dynamic_pointer_cast<ByteArrayInterval>(array->Interval(6, 3));
    trail = std::dynamic_pointer_cast<ByteArrayTrail>(array->Interval(9));
    bounds = array->Bounds();
    intel = LittleEndian::New();
    intel->RefersTo(*array, 4, 12, false);
    motorola = BigEndian::New();
    motorola->RefersTo(*array, 8, 10, true);
    scaled = ScaledValue::New();
    scaled->RefersTo(intel);
    scaled->CoeffA(0.5);
    scaled->CoeffB(-3);
    scaled->CoeffC(1);
    scaled->Precision(2);
    scaled->Unit("V");
    scaled->Settings(RegionalSettings::English());
    names = Enumeration::New();
    names->Add("Off", 0);
    names->Add("On", 1);
    names->Add("Fault", 7);
    map = MemoryMap::New();
    map->Add(0x100, 16);
    map->Add(0x200, 8);
    image = MemoryImage::New();
    image->Add(*ByteArray::New({1, 2, 3, 4}, 0x100));
    image->Add(*ByteArray::New({5, 6}, 0x200));
    crc = CRC::New();
    crc->Append(*array);
    walk = std::make_shared<ObjectEnumerator>(
        std::vector<Value>{Value(Variant("a")), Value(Object(array)), Value(Variant("c"))});
  }

  // The object of class `id` that members of that class are called on.
  Object Of(ClassId id) const {
    switch (id) {
      case ClassId::ByteArray:
        return array;
      case ClassId::ByteArrayInterval:
        return interval;
      case ClassId::ByteArrayTrail:
        return trail;
      case ClassId::ArrayBounds:
        return bounds;
      case ClassId::NumericItem:
      case ClassId::LittleEndian:
        return intel;
      case ClassId::BigEndian:
        return motorola;
      case ClassId::ScaledValue:
        return scaled;
      case ClassId::Enumeration:
        return names;
      case ClassId::MemoryMap:
        return map;
      case ClassId::MemoryImage:
        return image;
      case ClassId::CRC:
        return crc;
      case ClassId::Enumerator:
        return walk;
    }
    return {};
  }

  std::shared_ptr<ByteArray> array;
  std::shared_ptr<ByteArrayInterval> interval;
  std::shared_ptr<ByteArrayTrail> trail;
  std::shared_ptr<ArrayBounds> bounds;
  std::shared_ptr<LittleEndian> intel;
  std::shared_ptr<BigEndian> motorola;
  std::shared_ptr<ScaledValue> scaled;
  std::shared_ptr<Enumeration> names;
  std::shared_ptr<MemoryMap> map;
  std::shared_ptr<MemoryImage> image;
  std::shared_ptr<CRC> crc;
  std::shared_ptr<ObjectEnumerator> walk;
};

template <typename Read>
std::string Try(Read read) {
  try {
    return read();
  } catch (const Error& error) {
    return "error " + std::to_string(error.Number());
  }
}

std::string Describe(const Value& value);

std::string DescribeObject(const Object& object) {
  if (object.IsNothing()) return "Nothing";
  std::string text = ClassOf(object.Class()).Name();
  if (auto array = object.ByteArrayInterface()) {
    return text + " " +
           Try([&] { return std::to_string(array->LowIndex()) + ":" + array->Text(); });
  }
  if (auto item = object.NumericItemInterface()) {
    return text + " " + Try([&] {
             return std::to_string(item->Value()) + " in " + std::to_string(item->Min()) + ".." +
                    std::to_string(item->Max()) + " mask " + item->Mask();
           });
  }
  if (auto bounds = object.As<ArrayBounds>()) {
    return text + " " + std::to_string(bounds->LowIndex()) + "+" + std::to_string(bounds->Count());
  }
  if (auto scaled = object.As<ScaledValue>()) {
    return text + " " + std::to_string(scaled->CoeffA()) + "," + std::to_string(scaled->CoeffB()) +
           "," + std::to_string(scaled->CoeffC()) + " p" + std::to_string(scaled->Precision()) +
           " " + scaled->Unit() + " " + Try([&] { return scaled->Text(); }) + " of " +
           DescribeObject(Object::Of(scaled->RefersTo()));
  }
  if (auto names = object.As<Enumeration>()) {
    for (int32_t k = 1; k <= names->Count(); ++k) {
      text += " " + names->Item(k) + "=" + std::to_string(names->Value(names->Item(k)));
    }
    return text;
  }
  if (auto map = object.As<MemoryMap>()) {
    for (const auto& segment : *map) text += " " + DescribeObject(Object(segment));
    return text;
  }
  if (auto image = object.As<MemoryImage>()) {
    for (const auto& array : *image) text += " " + DescribeObject(Object(array));
    return text;
  }
  if (auto crc = object.As<CRC>()) return text + " " + std::to_string(crc->Register());
  if (auto walk = object.As<ObjectEnumerator>()) {
    // What is left of the walk, read from a copy so that it stays where it is.
    for (const Value& item : walk->Clone()->Next(100)) text += " " + Describe(item);
    return text;
  }
  return text;
}

std::string Describe(const Value& value) {
  if (const Object* object = value.AsObject()) return DescribeObject(*object);
  const Variant& variant = *value.AsVariant();
  if (const auto* bytes = variant.ByteArray()) {
    std::string text = "bytes from " + std::to_string(bytes->LBound()) + ":";
    for (int32_t k = bytes->LBound(); k <= bytes->UBound(); ++k) {
      text += " " + std::to_string((*bytes)[k]);
    }
    return text;
  }
  return std::to_string(static_cast<int>(variant.GetKind())) + " " +
         Try([&] { return variant.ToString(); });
}

std::string DescribeWorld(const World& w) {
  std::string text;
  for (const ClassId id : {ClassId::ByteArray, ClassId::ByteArrayInterval, ClassId::ByteArrayTrail,
                           ClassId::ArrayBounds, ClassId::LittleEndian, ClassId::BigEndian,
                           ClassId::ScaledValue, ClassId::Enumeration, ClassId::MemoryMap,
                           ClassId::MemoryImage, ClassId::CRC, ClassId::Enumerator}) {
    text += DescribeObject(w.Of(id)) + "\n";
  }
  return text;
}

// A member's call in a world: its arguments for late binding, and the same
// call made statically on the twin world's object. `compared` is the
// argument whose value after the call is compared instead of the result
// (what a member writes back through a by-reference parameter).
struct Case {
  std::function<std::vector<Value>(World&)> arguments;
  std::function<Value(World&, const Object&)> call;
  int compared = -1;
};

Value V(int32_t x) { return Value(Variant(x)); }
Value V(double x) { return Value(Variant(x)); }
Value V(bool x) { return Value(Variant(x)); }
Value V(std::string x) { return Value(Variant(std::move(x))); }
Value V(const char* x) { return Value(Variant(x)); }
template <typename T>
Value V(std::shared_ptr<T> x) {
  return Value(Object(std::move(x)));
}
Value V(std::shared_ptr<IByteArray> x) { return Value(Object::Of(std::move(x))); }
IByteArray& A(const Object& self) { return *self.ByteArrayInterface(); }
NumericItem& N(const Object& self) { return *self.NumericItemInterface(); }
template <typename T>
T& S(const Object& self) {
  return *self.As<T>();
}

// Arguments that do not depend on the world.
struct Args {
  Args(std::initializer_list<Value> given) : values(given) {}
  std::vector<Value> operator()(World&) const { return values; }
  std::vector<Value> values;
};

// A static call made for its effect: it answers Empty, as the late call does.
template <typename Call>
auto Does(Call call) {
  return [call](World& w, const Object& self) {
    call(w, self);
    return Value();
  };
}

// The cases by interface, member and kind.
std::map<std::string, Case> Cases() {
  const auto None = [](World&) { return std::vector<Value>(); };
  const auto bytes = Args{Value(Variant(SafeArray<uint8_t>(3, 6))), V(4), V(6), V(3)};
  const auto field_arguments = [](World& w) {
    return std::vector<Value>{V(w.array), V(0), V(7), V(true)};
  };
  const auto refers_to = [](World& w, const Object& self) {
    N(self).RefersTo(*w.array, 0, 7, true);
    return Value();
  };
  return {
      {"ByteArray.Bounds.get", {None, [](World&, const Object& s) { return V(A(s).Bounds()); }}},
      {"ByteArray.Count.get", {None, [](World&, const Object& s) { return V(A(s).Count()); }}},
      {"ByteArray.Count.let", {Args{V(5)}, Does([](World&, const Object& s) { A(s).Count(5); })}},
      {"ByteArray.HighIndex.get",
       {None, [](World&, const Object& s) { return V(A(s).HighIndex()); }}},
      {"ByteArray.HighIndex.let",
       {Args{V(20)}, Does([](World&, const Object& s) { A(s).HighIndex(20); })}},
      {"ByteArray.Interval.method",
       {Args{V(2), V(2)},
        [](World&, const Object& s) { return Value(Object::Of(A(s).Interval(2, 2))); }}},
      {"ByteArray.Item.get", {Args{V(7)}, [](World&, const Object& s) { return V(A(s).Item(7)); }}},
      {"ByteArray.Item.let",
       {Args{V(7), V(300)}, Does([](World&, const Object& s) { A(s).Item(7, 300); })}},
      {"ByteArray.LowIndex.get",
       {None, [](World&, const Object& s) { return V(A(s).LowIndex()); }}},
      {"ByteArray.LowIndex.let",
       {Args{V(-3)}, Does([](World&, const Object& s) { A(s).LowIndex(-3); })}},
      {"ByteArray.Check.method",
       {[](World& w) { return std::vector<Value>{V(w.array->Copy())}; },
        [](World& w, const Object& s) { return V(A(s).Check(*w.array->Copy())); }}},
      {"ByteArray.Copy.get", {None, [](World&, const Object& s) { return V(A(s).Copy()); }}},
      {"ByteArray.Copy.let",
       {[](World& w) { return std::vector<Value>{V(w.array->Interval(8, 3))}; },
        Does([](World& w, const Object& s) { A(s).Copy(*w.array->Interval(8, 3)); })}},
      {"ByteArray.Sum.method", {None, [](World&, const Object& s) { return V(A(s).Sum()); }}},
      {"ByteArray.WriteBytes.method",
       {bytes,
        [](World&, const Object& s) {
          SafeArray<uint8_t> destination(3, 6);
          A(s).WriteBytes(destination, 4, 6, 3);
          return Value(Variant(std::move(destination)));
        },
        0}},
      {"ByteArray.Text.get", {None, [](World&, const Object& s) { return V(A(s).Text()); }}},
      {"ByteArray.Text.let",
       {Args{V("A1B2C3")}, Does([](World&, const Object& s) { A(s).Text("A1B2C3"); })}},
      {"ByteArray.Value.get", {None, [](World&, const Object& s) { return Value(A(s).Value()); }}},
      {"ByteArray.Value.let",
       {Args{V("xyz")}, Does([](World&, const Object& s) { A(s).Value(Variant("xyz")); })}},
      {"ByteArray.Skip.method",
       {Args{V(0x56), V(7)}, [](World&, const Object& s) { return V(A(s).Skip(0x56, 7)); }}},
      {"ByteArray.Fill.method",
       {Args{V(0xAA)}, Does([](World&, const Object& s) { A(s).Fill(0xAA); })}},
      {"ArrayBounds.Count.get",
       {None, [](World&, const Object& s) { return V(S<ArrayBounds>(s).Count()); }}},
      {"ArrayBounds.LowIndex.get",
       {None, [](World&, const Object& s) { return V(S<ArrayBounds>(s).LowIndex()); }}},
      {"ArrayBounds.HighIndex.get",
       {None, [](World&, const Object& s) { return V(S<ArrayBounds>(s).HighIndex()); }}},
      {"ArrayBounds.ByteArray.method",
       {Args{V(0x5A)},
        [](World&, const Object& s) { return V(S<ArrayBounds>(s).ByteArray(0x5A)); }}},
      {"NumericItem.Max.get", {None, [](World&, const Object& s) { return V(N(s).Max()); }}},
      {"NumericItem.Min.get", {None, [](World&, const Object& s) { return V(N(s).Min()); }}},
      {"NumericItem.Value.let",
       {Args{V(-100)}, Does([](World&, const Object& s) { N(s).Value(-100); })}},
      {"NumericItem.Value.get", {None, [](World&, const Object& s) { return V(N(s).Value()); }}},
      {"NumericItem.RefersTo.method", {field_arguments, refers_to}},
      {"LittleEndian.NumericItem_RefersTo.method", {field_arguments, refers_to}},
      {"BigEndian.NumericItem_RefersTo.method", {field_arguments, refers_to}},
      {"NumericItem.Mask.get", {None, [](World&, const Object& s) { return V(N(s).Mask()); }}},
      {"ScaledValue.RefersTo.get",
       {None,
        [](World&, const Object& s) { return Value(Object::Of(S<ScaledValue>(s).RefersTo())); }}},
      {"ScaledValue.RefersTo.set",
       {[](World& w) { return std::vector<Value>{V(w.motorola)}; },
        Does([](World& w, const Object& s) { S<ScaledValue>(s).RefersTo(w.motorola); })}},
      {"ScaledValue.CoeffA.get",
       {None, [](World&, const Object& s) { return V(S<ScaledValue>(s).CoeffA()); }}},
      {"ScaledValue.CoeffA.let",
       {Args{V(0.25)}, Does([](World&, const Object& s) { S<ScaledValue>(s).CoeffA(0.25); })}},
      {"ScaledValue.CoeffB.get",
       {None, [](World&, const Object& s) { return V(S<ScaledValue>(s).CoeffB()); }}},
      {"ScaledValue.CoeffB.let",
       {Args{V(7)}, Does([](World&, const Object& s) { S<ScaledValue>(s).CoeffB(7); })}},
      {"ScaledValue.CoeffC.get",
       {None, [](World&, const Object& s) { return V(S<ScaledValue>(s).CoeffC()); }}},
      {"ScaledValue.CoeffC.let",
       {Args{V(4)}, Does([](World&, const Object& s) { S<ScaledValue>(s).CoeffC(4); })}},
      {"ScaledValue.Precision.get",
       {None, [](World&, const Object& s) { return V(S<ScaledValue>(s).Precision()); }}},
      {"ScaledValue.Precision.let",
       {Args{V(0)}, Does([](World&, const Object& s) { S<ScaledValue>(s).Precision(0); })}},
      {"ScaledValue.Unit.get",
       {None, [](World&, const Object& s) { return V(S<ScaledValue>(s).Unit()); }}},
      {"ScaledValue.Unit.let",
       {Args{V("km/h")}, Does([](World&, const Object& s) { S<ScaledValue>(s).Unit("km/h"); })}},
      {"ScaledValue.Min.get",
       {None, [](World&, const Object& s) { return V(S<ScaledValue>(s).Min()); }}},
      {"ScaledValue.Max.get",
       {None, [](World&, const Object& s) { return V(S<ScaledValue>(s).Max()); }}},
      {"ScaledValue.Text.get",
       {None, [](World&, const Object& s) { return V(S<ScaledValue>(s).Text()); }}},
      {"ScaledValue.Text.let",
       {Args{V("12.5")}, Does([](World&, const Object& s) { S<ScaledValue>(s).Text("12.5"); })}},
      {"ScaledValue.Value.get",
       {None, [](World&, const Object& s) { return V(S<ScaledValue>(s).Value()); }}},
      {"ScaledValue.Value.let",
       {Args{V(100.0)}, Does([](World&, const Object& s) { S<ScaledValue>(s).Value(100.0); })}},
      {"Enumeration.Count.get",
       {None, [](World&, const Object& s) { return V(S<Enumeration>(s).Count()); }}},
      {"Enumeration.Item.get",
       {Args{V(2)}, [](World&, const Object& s) { return V(S<Enumeration>(s).Item(2)); }}},
      {"Enumeration.Remove.method",
       {Args{V(1)}, Does([](World&, const Object& s) { S<Enumeration>(s).Remove(1); })}},
      {"Enumeration.Clear.method",
       {None, Does([](World&, const Object& s) { S<Enumeration>(s).Clear(); })}},
      {"Enumeration.NewEnum.method",
       {None,
        [](World&, const Object& s) {
          std::vector<Value> texts;
          for (const std::string& text : S<Enumeration>(s)) texts.push_back(V(text));
          return Value(Object(std::make_shared<ObjectEnumerator>(texts)));
        }}},
      {"Enumeration.Add.method", {Args{V("Spare"), V(9)}, Does([](World&, const Object& s) {
                                    S<Enumeration>(s).Add("Spare", 9);
                                  })}},
      {"Enumeration.Text.get",
       {Args{V(7)}, [](World&, const Object& s) { return V(S<Enumeration>(s).Text(7)); }}},
      {"Enumeration.Value.get",
       {Args{V("On")}, [](World&, const Object& s) { return V(S<Enumeration>(s).Value("On")); }}},
      {"MemoryMap.Add.method", {Args{V(0x110), V(4)}, Does([](World&, const Object& s) {
                                  S<MemoryMap>(s).Add(0x110, 4);
                                })}},
      {"MemoryMap.Check.method",
       {[](World& w) { return std::vector<Value>{V(w.map->Item(2))}; },
        [](World& w, const Object& s) { return V(S<MemoryMap>(s).Check(*w.map->Item(2))); }}},
      {"MemoryMap.Clear.method",
       {None, Does([](World&, const Object& s) { S<MemoryMap>(s).Clear(); })}},
      {"MemoryMap.Count.get",
       {None, [](World&, const Object& s) { return V(S<MemoryMap>(s).Count()); }}},
      {"MemoryMap.Exclude.method",
       {[](World& w) { return std::vector<Value>{V(w.image->Map())}; },
        [](World& w, const Object& s) { return V(S<MemoryMap>(s).Exclude(*w.image->Map())); }}},
      {"MemoryMap.Item.get",
       {Args{V(2)}, [](World&, const Object& s) { return V(S<MemoryMap>(s).Item(2)); }}},
      {"MemoryMap.MemoryImage.method",
       {Args{V(0x33)},
        [](World&, const Object& s) { return V(S<MemoryMap>(s).MemoryImage(0x33)); }}},
      {"MemoryMap.NewEnum.method",
       {None,
        [](World&, const Object& s) {
          std::vector<Value> items;
          for (const auto& segment : S<MemoryMap>(s)) items.push_back(V(segment));
          return Value(Object(std::make_shared<ObjectEnumerator>(items)));
        }}},
      {"MemoryMap.Remove.method", {Args{V(0x100), V(4)}, Does([](World&, const Object& s) {
                                     S<MemoryMap>(s).Remove(0x100, 4);
                                   })}},
      {"MemoryMap.BytesCount.get",
       {None, [](World&, const Object& s) { return V(S<MemoryMap>(s).BytesCount()); }}},
      {"MemoryImage.Count.get",
       {None, [](World&, const Object& s) { return V(S<MemoryImage>(s).Count()); }}},
      {"MemoryImage.BytesCount.get",
       {None, [](World&, const Object& s) { return V(S<MemoryImage>(s).BytesCount()); }}},
      {"MemoryImage.Add.method",
       {[](World& w) { return std::vector<Value>{V(w.array)}; },
        Does([](World& w, const Object& s) { S<MemoryImage>(s).Add(*w.array); })}},
      {"MemoryImage.Clear.method",
       {None, Does([](World&, const Object& s) { S<MemoryImage>(s).Clear(); })}},
      {"MemoryImage.Map.get",
       {None, [](World&, const Object& s) { return V(S<MemoryImage>(s).Map()); }}},
      {"MemoryImage.GetMap.method",
       {Args{Value(Object())},
        [](World&, const Object& s) {
          std::shared_ptr<MemoryMap> map;
          S<MemoryImage>(s).GetMap(map);
          return V(map);
        },
        0}},
      {"MemoryImage.MemoryRead.method",
       {Args{V(0x101), V(2)},
        [](World&, const Object& s) { return V(S<MemoryImage>(s).MemoryRead(0x101, 2)); }}},
      {"MemoryImage.MemoryWrite.method",
       {Args{V(ByteArray::New({9, 9}, 0x102))},
        [](World&, const Object& s) {
          S<MemoryImage>(s).MemoryWrite(*ByteArray::New({9, 9}, 0x102));
          return Value();
        }}},
      {"MemoryImage.Item.get",
       {Args{V(2)}, [](World&, const Object& s) { return V(S<MemoryImage>(s).Item(2)); }}},
      {"MemoryImage.NewEnum.method",
       {None,
        [](World&, const Object& s) {
          std::vector<Value> items;
          for (const auto& array : S<MemoryImage>(s)) items.push_back(V(array));
          return Value(Object(std::make_shared<ObjectEnumerator>(items)));
        }}},
      {"CRC.Append.method",
       {[](World& w) { return std::vector<Value>{V(w.interval)}; },
        Does([](World& w, const Object& s) { S<CRC>(s).Append(*w.interval); })}},
      {"CRC.Clear.method", {None, Does([](World&, const Object& s) { S<CRC>(s).Clear(); })}},
      {"CRC.Check.get", {None, [](World&, const Object& s) { return V(S<CRC>(s).Check()); }}},
      {"CRC.Send.method",
       {[](World& w) { return std::vector<Value>{V(w.array)}; },
        Does([](World& w, const Object& s) { S<CRC>(s).Send(*w.array); })}},
      {"Enumerator.Next.method",
       {None,
        [](World&, const Object& s) {
          auto items = S<ObjectEnumerator>(s).Next(1);
          return items.empty() ? Value() : items[0];
        }}},
      {"Enumerator.Skip.method",
       {Args{V(2)}, [](World&, const Object& s) { return V(S<ObjectEnumerator>(s).Skip(2)); }}},
      {"Enumerator.Reset.method",
       {None, Does([](World&, const Object& s) { S<ObjectEnumerator>(s).Reset(); })}},
      {"Enumerator.Clone.method",
       {None, [](World&, const Object& s) { return V(S<ObjectEnumerator>(s).Clone()); }}},
  };
}

TEST(AutomationTest, EveryMemberOfTheCatalogueCalledByNameDoesWhatTheStaticCallDoes) {
  const auto cases = Cases();
  std::vector<const ClassInfo*> classes;
  for (const ClassInfo& info : Classes()) classes.push_back(&info);
  classes.push_back(&EnumeratorClass());
  size_t called = 0;
  for (const ClassInfo* info : classes) {
    for (size_t k = 0; k < info->MemberCount(); ++k) {
      const Interface* from = nullptr;
      const Member& member = info->MemberAt(k, &from);
      const std::string key =
          std::string(from->Name) + "." + member.Name + "." + KindName(member.Kind);
      SCOPED_TRACE(std::string(info->Name()) + ": " + key);
      const auto found = cases.find(key);
      ASSERT_NE(found, cases.end()) << "no case for this member";
      const Case& test = found->second;
      World late;
      World fixed;
      std::vector<Value> arguments = test.arguments(late);
      // Called in every way the name may be written.
      std::string name = member.Name;
      if (k % 2 == 1) {
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      }
      const std::string by_name = Try([&] {
        const Value result = Invoke(late.Of(info->Id()), name, Kinds(member.Kind), arguments);
        return Describe(test.compared < 0 ? result : arguments[static_cast<size_t>(test.compared)]);
      });
      const std::string by_call =
          Try([&] { return Describe(test.call(fixed, fixed.Of(info->Id()))); });
      EXPECT_EQ(by_name, by_call);
      EXPECT_EQ(DescribeWorld(late), DescribeWorld(fixed));
      ++called;
    }
  }
  // The twelve classes' interfaces and the enumerator: 21 of the ByteArray
  // interface on three classes, and the rest.
  EXPECT_EQ(called, 21u * 3 + 4 + 6 + 7 + 7 + 18 + 8 + 10 + 10 + 4 + 4);
}

// The error a late-bound call raises, as "number description (source)".
template <typename Call>
std::string Raised(Call call) {
  try {
    call();
    return "no error";
  } catch (const Error& error) {
    return std::to_string(error.Number()) + " " + error.Description() +
           (error.Source() == "Ombrix" ? "" : " (" + error.Source() + ")");
  }
}

TEST(AutomationTest, CreationByNameAndTheStandardErrorsOfLateBinding) {
  for (const ClassInfo& info : Classes()) {
    SCOPED_TRACE(info.Name());
    const std::string refused = "429 " + StandardText(429);
    if (info.Creatable()) {
      EXPECT_EQ(CreateObject(std::string("Ombrix.") + info.Name()).Class(), info.Id());
    } else {
      EXPECT_EQ(Raised([&] { (void)CreateObject(info.Name()); }), refused);
    }
  }
  EXPECT_EQ(CreateObject("oMbRiX.bytearray").Class(), ClassId::ByteArray);
  for (const char* name : {"", "Nope", "Ombrix.", "Ombrix.Nope", "Enumerator", "ByteArrayX"}) {
    EXPECT_EQ(Raised([&] { (void)CreateObject(name); }), "429 " + StandardText(429)) << name;
  }

  World w;
  const Object array = w.array;
  std::vector<Value> none;
  const auto call = [](const Object& object, const char* name, CallKinds kinds,
                       std::vector<Value> arguments) {
    return Raised([&] { (void)Invoke(object, name, kinds, arguments); });
  };
  const CallKinds get = Kinds(MemberKind::Get);
  const CallKinds let = Kinds(MemberKind::Let);
  const CallKinds method = Kinds(MemberKind::Method);
  EXPECT_EQ(call(array, "Nope", method | get, {}), "438 " + StandardText(438));
  EXPECT_EQ(call(array, "Count", method, {}), "438 " + StandardText(438));
  EXPECT_EQ(call(array, "Count", get, {V(1)}), "450 " + StandardText(450));
  EXPECT_EQ(call(w.bounds, "Count", let, {V(1)}), "450 " + StandardText(450));
  EXPECT_EQ(call(array, "Item", get, {}), "449 " + StandardText(449));
  EXPECT_EQ(call(array, "Item", let, {V(5)}), "449 " + StandardText(449));
  EXPECT_EQ(call(array, "Item", get, {V("abc")}), "13 " + StandardText(13));
  EXPECT_EQ(call(w.image, "Add", method, {Value(Object())}), "91 " + StandardText(91));
  EXPECT_EQ(call(w.image, "Add", method, {V(5)}), "13 " + StandardText(13));
  EXPECT_EQ(call(w.image, "Add", method, {V(w.names)}), "13 " + StandardText(13));
  EXPECT_EQ(call(w.scaled, "RefersTo", Kinds(MemberKind::Set), {V(w.array)}),
            "13 " + StandardText(13));
  EXPECT_EQ(call(Object(), "Count", get, {}), "91 " + StandardText(91));
  // The library's own errors pass through with their number, text and source.
  EXPECT_EQ(call(array, "Count", let, {V(-1)}), std::string("1000 ") + testing::kNegativeCount);
  EXPECT_EQ(call(w.interval, "count", let, {V(2)}),
            "1000 " + StandardText(1000) + " (Propriété Count en lecture seule)");
  EXPECT_EQ(call(array, "Item", get, {V(99)}), "9 " + StandardText(9));

  // The default member, a method-or-get call, optional parameters.
  std::vector<Value> six{V(6)};
  EXPECT_EQ(Invoke(array, "", get, six), V(0x34));
  std::vector<Value> store{V(6), V(0x1FF)};
  (void)Invoke(array, kDefaultMember, let, store);
  EXPECT_EQ(w.array->Item(6), 0xFF);
  EXPECT_EQ(call(w.map, "", get, {V(1)}), "438 " + StandardText(438));
  EXPECT_EQ(Invoke(array, "COUNT", method | get, none), V(8));
  std::vector<Value> from{V(7)};
  EXPECT_EQ(Invoke(array, "Interval", method, from).AsObject()->Class(), ClassId::ByteArrayTrail);
  EXPECT_EQ(Describe(Invoke(w.bounds, "ByteArray", method, none)), "ByteArray 5:0000000000000000");
  EXPECT_EQ(MemberNumber(array, "sum"), MemberNumber(array, "Sum"));
  EXPECT_EQ(Invoke(array, MemberNumber(array, "sum"), method, none),
            Invoke(array, "Sum", method, none));
  EXPECT_EQ(Raised([&] { (void)MemberNumber(w.crc, "Count"); }), "438 " + StandardText(438));
  EXPECT_EQ(call(array, "Sum", method, {}), "no error");
  EXPECT_EQ(Raised([&] { (void)Invoke(array, 999, method, none); }), "438 " + StandardText(438));
}

TEST(AutomationTest, ObjectsTravelAsArgumentsAndResultsAndLiveWhileReferenced) {
  // A view outlives the last reference to its array and keeps reading it.
  std::vector<Value> none;
  Object view;
  std::weak_ptr<ByteArray> watched;
  {
    const Object array = CreateObject("ByteArray");
    std::vector<Value> text{V("0A0B0C0D")};
    (void)Invoke(array, "Text", Kinds(MemberKind::Let), text);
    std::vector<Value> where{V(2), V(2)};
    view = *Invoke(array, "Interval", Kinds(MemberKind::Method), where).AsObject();
    watched = array.As<ByteArray>();
  }
  EXPECT_FALSE(watched.expired());
  EXPECT_EQ(Invoke(view, "Text", Kinds(MemberKind::Get), none), V("0B0C"));
  view = Object();
  EXPECT_TRUE(watched.expired());

  // A collection hands out its stored objects themselves, in its enumerator too.
  World w;
  const Object image = w.image;
  std::vector<Value> first{V(1)};
  const Value item = Invoke(image, "Item", Kinds(MemberKind::Get), first);
  const Object walk = *Invoke(image, "NewEnum", Kinds(MemberKind::Method), none).AsObject();
  EXPECT_EQ(walk.Class(), ClassId::Enumerator);
  const auto next = [&] { return Invoke(walk, "Next", Kinds(MemberKind::Method), none); };
  EXPECT_EQ(next(), item);
  EXPECT_EQ(Describe(next()), "ByteArray 512:0506");
  EXPECT_TRUE(next().AsVariant()->IsEmpty());
  (void)Invoke(walk, "Reset", Kinds(MemberKind::Method), none);
  std::vector<Value> two{V(2)};
  EXPECT_EQ(Invoke(walk, "Skip", Kinds(MemberKind::Method), two), V(true));
  EXPECT_EQ(Invoke(walk, "Skip", Kinds(MemberKind::Method), first), V(false));

  // A scaled value's item is set and read back as the same object; Nothing unbinds it.
  std::vector<Value> item_value{V(w.motorola)};
  (void)Invoke(w.scaled, "RefersTo", Kinds(MemberKind::Set), item_value);
  EXPECT_EQ(Invoke(w.scaled, "RefersTo", Kinds(MemberKind::Get), none), V(w.motorola));
  std::vector<Value> nothing{Value(Object())};
  (void)Invoke(w.scaled, "RefersTo", Kinds(MemberKind::Set), nothing);
  EXPECT_TRUE(Invoke(w.scaled, "RefersTo", Kinds(MemberKind::Get), none).AsObject()->IsNothing());

  // GetMap replaces its argument; WriteBytes writes into the caller's array.
  std::vector<Value> out{V(0)};
  (void)Invoke(image, "GetMap", Kinds(MemberKind::Method), out);
  EXPECT_EQ(Describe(out[0]), "MemoryMap ArrayBounds 256+4 ArrayBounds 512+2");
  std::vector<Value> destination{Value(Variant(SafeArray<uint8_t>(0, 3))), V(1), V(6), V(2)};
  (void)Invoke(w.array, "WriteBytes", Kinds(MemberKind::Method), destination);
  EXPECT_EQ(Describe(destination[0]), "bytes from 0: 0 52 86");
}

TEST(AutomationTest, TheCatalogueCarriesTheClassesAndTheirHelpTexts) {
  std::string listed;
  for (const ClassInfo& info : Classes()) {
    listed += std::string(info.Name()) + (info.Creatable() ? " creatable" : "") +
              (info.Persisted() ? " persisted" : "") +
              (info.AlsoAnswers() ? std::string(" answers ") + info.AlsoAnswers()->Name : "") + ";";
  }
  EXPECT_EQ(listed,
            "ByteArray creatable persisted;ByteArrayInterval answers ByteArray;ByteArrayTrail "
            "answers ByteArray;ArrayBounds;NumericItem;LittleEndian creatable answers "
            "NumericItem;BigEndian creatable answers NumericItem;ScaledValue "
            "creatable;Enumeration creatable persisted;MemoryMap creatable persisted;MemoryImage "
            "creatable persisted;CRC creatable;");
  EXPECT_STREQ(FindClass("bytearrayinterval")->Description(), "Intervalle d'un ByteArray");
  EXPECT_STREQ(FindClass("BigEndian")->Description(),
               "Implémente NumericItem.\nDonnée numérique format Motorola (poids fort à "
               "l'adresse basse)");
  EXPECT_STREQ(FindClass("Enumeration")->Description(), "");
  const ClassInfo& bytes = *FindClass("ByteArray");
  std::string members;
  for (size_t k = 0; k < bytes.MemberCount(); ++k) {
    const Member& m = bytes.MemberAt(k);
    members += std::to_string(k + 1) + " " + m.Name + " " + KindName(m.Kind);
    for (const Parameter& p : m.Parameters) {
      members += std::string(" ") + (p.Optional ? "[" : "") + p.Name + ":" + TypeName(p.Of) +
                 (p.Optional ? "=" + std::to_string(p.Default) + "]" : "");
    }
    members += std::string(" -> ") + TypeName(m.Result) +
               (m.Role == MemberRole::Default ? " default" : "") + "\n";
  }
  EXPECT_EQ(members,
            "1 Bounds get -> ArrayBounds\n2 Count get -> Long\n3 Count let :Long -> \n"
            "4 HighIndex get -> Long\n5 HighIndex let :Long -> \n"
            "6 Interval method Index:Long [Count:Long=0] -> ByteArray\n"
            "7 Item get Index:Long -> Long default\n8 Item let Index:Long :Long ->  default\n"
            "9 LowIndex get -> Long\n10 LowIndex let :Long -> \n11 Check method V:ByteArray -> "
            "Boolean\n12 Copy get -> ByteArray\n13 Copy let :ByteArray -> \n14 Sum method -> "
            "Long\n15 WriteBytes method Destination:Byte() DestinationIndex:Long "
            "SourceIndex:Long Count:Long -> \n16 Text get -> String\n17 Text let :String -> \n"
            "18 Value get -> Variant\n19 Value let :Variant -> \n20 Skip method Pattern:Byte "
            "Start:Long -> Long\n21 Fill method Pattern:Byte -> \n");
  EXPECT_STREQ(bytes.MemberAt(8).Help,
               "Plus petite valeur de l'index. Initialisé à 1. L'affectation ne change pas la "
               "valeur des octets du tableau");
  EXPECT_STREQ(bytes.MemberAt(11).Help,
               "En lecture, obtient une copie de l'objet ByteArray.\nEn écriture, modifie le "
               "contenu en recopiant les données de l'objet affecté.");
  EXPECT_STREQ(bytes.MemberAt(10).Help, "");
  EXPECT_STREQ(FindClass("LittleEndian")->MemberAt(0).Help,
               "Détermine le champ de bits associé à l'objet");
  EXPECT_EQ(FindClass("MemoryImage")->MemberAt(9).Role, MemberRole::Enumerator);
}

}  // namespace
}  // namespace ombrix::automation
