#include "ombrix/fields/scaled_value.h"

#include "ombrix/frame/detail/allocation.h"
#include "ombrix/frame/error.h"
#include "ombrix/frame/number_rounding_internal.h"

namespace ombrix {

ScaledValue::ScaledValue(Private) {}

const RegionalSettings& ScaledValue::Settings() const {
  if (!settings_) settings_ = RegionalSettings::User();
  return *settings_;
}

std::shared_ptr<ScaledValue> ScaledValue::New() {
  return detail::OrOutOfMemory([] { return std::make_shared<ScaledValue>(Private{}); });
}

void ScaledValue::RaiseNoItem() { Raise(errors::kObjectNotSet); }

// A positive slope keeps the order of the bounds; any other (0, negative,
// NaN) swaps them. Each asks the item for the one bound it uses.
double ScaledValue::Min() const {
  const bool rising = coeff_a_ / coeff_c_ > 0;
  return Physical(rising ? Item().Min() : Item().Max());
}

double ScaledValue::Max() const {
  const bool rising = coeff_a_ / coeff_c_ > 0;
  return Physical(rising ? Item().Max() : Item().Min());
}

int32_t ScaledValue::ToRaw(double X) const {
  return detail::RoundToInt32((X * coeff_c_ - coeff_b_) / coeff_a_);
}

void ScaledValue::Value(double X) {
  NumericItem& item = Item();
  item.Value(ToRaw(X));
}

std::string ScaledValue::Text() const {
  if (precision_ < -1) Raise(errors::kInvalidArgument);
  const double value = Value();
  const RegionalSettings& settings = Settings();
  return settings.Format(value, precision_ == -1 ? settings.DefaultDecimals : precision_);
}

void ScaledValue::Text(std::string_view T) {
  Item();  // no item: error 91 before the text is looked at
  Value(Settings().Parse(T));
}

}  // namespace ombrix
