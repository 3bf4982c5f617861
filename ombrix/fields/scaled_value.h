// ScaledValue: the physical value of a numeric field,
// (raw × CoeffA + CoeffB) / CoeffC, as a double or as text in the user's
// regional settings.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ombrix/fields/numeric_item.h"
#include "ombrix/frame/regional_settings.h"

namespace ombrix {

/// A field's raw value scaled to a physical one, as a number or as text.
class ScaledValue final {
  struct Private {
    explicit Private() = default;
  };

 public:
  /// Made by New(): the tag keeps other code from making one.
  explicit ScaledValue(Private);
  ScaledValue(const ScaledValue&) = delete;
  ScaledValue& operator=(const ScaledValue&) = delete;

  /// A new scaled value: no item, CoeffA 1, CoeffB 0, CoeffC 1, Precision 0,
  /// formatting in the process locale's settings.
  static std::shared_ptr<ScaledValue> New();

  /// The field whose raw value is converted (kept alive); may be empty.
  ///@{
  const std::shared_ptr<NumericItem>& RefersTo() const noexcept { return item_; }
  void RefersTo(std::shared_ptr<NumericItem> Item) noexcept { item_ = std::move(Item); }
  ///@}
  /// Multiplies the raw value.
  ///@{
  double CoeffA() const noexcept { return coeff_a_; }
  void CoeffA(double Value) noexcept { coeff_a_ = Value; }
  ///@}
  /// Added after the multiplication.
  ///@{
  double CoeffB() const noexcept { return coeff_b_; }
  void CoeffB(double Value) noexcept { coeff_b_ = Value; }
  ///@}
  /// Divides the sum.
  ///@{
  double CoeffC() const noexcept { return coeff_c_; }
  void CoeffC(double Value) noexcept { coeff_c_ = Value; }
  ///@}
  /// Digits after the decimal separator in Text; -1 takes the settings' default.
  ///@{
  int32_t Precision() const noexcept { return precision_; }
  void Precision(int32_t Value) noexcept { precision_ = Value; }
  ///@}
  /// The unit, kept for the client; no member uses it.
  ///@{
  const std::string& Unit() const noexcept { return unit_; }
  void Unit(std::string Value) { unit_ = std::move(Value); }
  ///@}
  /// The regional settings Text writes and reads with: the user's until
  /// others are set, looked up the first time they are needed (so that making
  /// a ScaledValue costs no locale lookup).
  ///@{
  const RegionalSettings& Settings() const;
  void Settings(RegionalSettings Value) { settings_ = std::move(Value); }
  ///@}

  /// The physical bounds of the field, lower first whatever the slope's sign.
  ///@{
  double Min() const;
  double Max() const;
  ///@}
  /// The physical value, read from the field each time (IEEE arithmetic: a
  /// CoeffC of 0 gives an infinity or a NaN). Setting it writes the raw value
  /// rounded half to even: error 6 when that is not a 32-bit integer, 2000
  /// from the item outside its range.
  ///@{
  double Value() const { return Physical(Item().Value()); }
  void Value(double X);
  ///@}
  /// The physical value of a raw one, (Raw × CoeffA + CoeffB) / CoeffC: what
  /// Value gives when the field holds Raw. No field needed.
  double ToPhysical(int32_t Raw) const noexcept { return Physical(Raw); }
  /// The raw value that Value let would write for X, rounded half to even;
  /// error 6 when that is not a 32-bit integer. No field needed, none written.
  int32_t ToRaw(double X) const;
  /// Value as text in Settings() with Precision decimals (error 5 for a
  /// Precision below -1). Setting it parses a number written in Settings()
  /// (error 13 otherwise) and sets Value.
  ///@{
  std::string Text() const;
  void Text(std::string_view T);
  ///@}

 private:
  const NumericItem& Item() const {
    if (!item_) RaiseNoItem();
    return *item_;
  }
  NumericItem& Item() {
    if (!item_) RaiseNoItem();
    return *item_;
  }
  [[noreturn]] static void RaiseNoItem();
  // (raw × CoeffA + CoeffB) / CoeffC, in that order.
  double Physical(int32_t raw) const { return (raw * coeff_a_ + coeff_b_) / coeff_c_; }

  std::shared_ptr<NumericItem> item_;
  double coeff_a_ = 1;
  double coeff_b_ = 0;
  double coeff_c_ = 1;
  int32_t precision_ = 0;
  std::string unit_;
  mutable std::optional<RegionalSettings> settings_;  // none: the user's, not looked up yet
};

}  // namespace ombrix
