#include "ombrix/signals/signal_database.h"

#include <algorithm>
#include <map>
#include <set>

#include "ombrix/frame/detail/allocation.h"
#include "ombrix/signals/signal_layout.h"

namespace ombrix::signals {

const Signal* Message::SignalNamed(std::string_view name) const noexcept {
  for (const Signal& signal : Signals) {
    if (signal.Name == name) return &signal;
  }
  return nullptr;
}

const Signal* Message::Multiplexer() const noexcept {
  for (const Signal& signal : Signals) {
    if (signal.IsMultiplexer) return &signal;
  }
  return nullptr;
}

const Message* SignalDatabase::MessageWithId(uint32_t id, bool extended) const noexcept {
  for (const Message& message : Messages) {
    if (message.Id == id && message.Extended == extended) return &message;
  }
  return nullptr;
}

const Message* SignalDatabase::MessageNamed(std::string_view name) const noexcept {
  for (const Message& message : Messages) {
    if (message.Name == name) return &message;
  }
  return nullptr;
}

std::optional<AttributeValue> SignalDatabase::AttributeOf(const AttributeList& own,
                                                          std::string_view name) const {
  for (const auto& [key, value] : own) {
    if (key == name) return value;
  }
  for (const AttributeDefinition& definition : AttributeDefinitions) {
    if (definition.Name == name) return definition.Default;
  }
  return std::nullopt;
}

namespace {

// Whether two signals can be in the same frame at once: not when each is
// selected by a different value of the same simple multiplexer.
bool Coexist(const Signal& a, const Signal& b) {
  if (a.MultiplexValue && b.MultiplexValue && a.MultiplexSwitch.empty() &&
      b.MultiplexSwitch.empty()) {
    return *a.MultiplexValue == *b.MultiplexValue;
  }
  // Extended multiplexing: left to the switches' values, which vary.
  return a.MultiplexSwitch.empty() && b.MultiplexSwitch.empty();
}

std::vector<std::string> ProblemsOf(const SignalDatabase& database) {
  std::vector<std::string> problems;
  std::set<std::string> message_names;
  std::set<std::pair<uint32_t, bool>> ids;
  for (const Message& message : database.Messages) {
    const std::string where = "message " + message.Name;
    if (!message_names.insert(message.Name).second) {
      problems.push_back(where + ": another message has this name");
    }
    if (!ids.insert({message.Id, message.Extended}).second) {
      problems.push_back(where + ": another message has the identifier " +
                         std::to_string(message.FileId()));
    }
    std::set<std::string> signal_names;
    std::vector<std::vector<uint8_t>> masks;
    for (const Signal& signal : message.Signals) {
      const std::string at = where + ", signal " + signal.Name;
      if (!signal_names.insert(signal.Name).second) {
        problems.push_back(at + ": another signal of the message has this name");
      }
      const std::optional<std::vector<uint8_t>> mask = BitsOf(signal, message.Length);
      if (!mask) {
        problems.push_back(at + ": its bits leave the message's " + std::to_string(message.Length) +
                           " bytes");
        masks.emplace_back();
        continue;
      }
      for (size_t k = 0; k < masks.size(); ++k) {
        const Signal& other = message.Signals[k];
        if (masks[k].empty() || !Coexist(signal, other)) continue;
        for (size_t b = 0; b < mask->size(); ++b) {
          if ((masks[k][b] & (*mask)[b]) != 0) {
            problems.push_back(at + ": overlaps signal " + other.Name);
            break;
          }
        }
      }
      masks.push_back(*mask);
    }
  }
  return problems;
}

}  // namespace

std::vector<std::string> Problems(const SignalDatabase& database) {
  return detail::OrOutOfMemory([&] { return ProblemsOf(database); });
}

uint32_t IntelSkippedBits(uint32_t start_bit) noexcept { return start_bit; }

uint32_t MotorolaSkippedBits(uint32_t start_bit) noexcept {
  return start_bit / 8 * 8 + 7 - start_bit % 8;
}

}  // namespace ombrix::signals
