#include "ombrix/frame/regional_settings.h"

#include <climits>
#include <locale>
#include <stdexcept>

#include "ombrix/frame/detail/allocation.h"

namespace ombrix {
namespace {

constexpr const char* kNoBreakSpace = "\xC2\xA0";

// numpunct<char> gives single chars; a locale whose separator is not ASCII
// (a no-break space in a UTF-8 locale) reports it as a byte of its own.
std::string SeparatorText(char c) {
  if (static_cast<unsigned char>(c) < 0x80) return std::string(1, c);
  return kNoBreakSpace;
}

}  // namespace

RegionalSettings RegionalSettings::User() {
  // Looking the locale up allocates: running out of memory is error 7.
  return detail::OrOutOfMemory([] {
    std::locale locale = std::locale::classic();
    try {
      locale = std::locale("");
    } catch (const std::runtime_error&) {
      // The environment names a locale this system lacks: keep "C".
    }
    const auto& punct = std::use_facet<std::numpunct<char>>(locale);
    RegionalSettings settings;
    settings.DecimalSeparator = SeparatorText(punct.decimal_point());
    const std::string grouping = punct.grouping();
    const bool grouped = !grouping.empty() && grouping[0] > 0 && grouping[0] != CHAR_MAX;
    settings.Grouping = grouped ? grouping[0] : 0;
    settings.GroupSeparator = grouped ? SeparatorText(punct.thousands_sep()) : std::string();
    return settings;
  });
}

RegionalSettings RegionalSettings::English() { return RegionalSettings{}; }

RegionalSettings RegionalSettings::French() {
  RegionalSettings settings;
  settings.DecimalSeparator = ",";
  settings.GroupSeparator = kNoBreakSpace;
  return settings;
}

}  // namespace ombrix
