#include "ombrix/automation/object.h"

#include <algorithm>

#include "ombrix/frame/detail/allocation.h"

namespace ombrix::automation {

Object::Object(std::shared_ptr<ByteArray> object) noexcept {
  if (object) ref_ = std::move(object);
}
Object::Object(std::shared_ptr<ByteArrayInterval> object) noexcept {
  if (object) ref_ = std::move(object);
}
Object::Object(std::shared_ptr<ByteArrayTrail> object) noexcept {
  if (object) ref_ = std::move(object);
}
Object::Object(std::shared_ptr<ArrayBounds> object) noexcept {
  if (object) ref_ = std::move(object);
}
Object::Object(std::shared_ptr<LittleEndian> object) noexcept {
  if (object) ref_ = std::move(object);
}
Object::Object(std::shared_ptr<BigEndian> object) noexcept {
  if (object) ref_ = std::move(object);
}
Object::Object(std::shared_ptr<ScaledValue> object) noexcept {
  if (object) ref_ = std::move(object);
}
Object::Object(std::shared_ptr<Enumeration> object) noexcept {
  if (object) ref_ = std::move(object);
}
Object::Object(std::shared_ptr<MemoryMap> object) noexcept {
  if (object) ref_ = std::move(object);
}
Object::Object(std::shared_ptr<MemoryImage> object) noexcept {
  if (object) ref_ = std::move(object);
}
Object::Object(std::shared_ptr<CRC> object) noexcept {
  if (object) ref_ = std::move(object);
}
Object::Object(std::shared_ptr<ObjectEnumerator> object) noexcept {
  if (object) ref_ = std::move(object);
}

Object Object::Of(std::shared_ptr<IByteArray> object) noexcept {
  if (auto array = std::dynamic_pointer_cast<ByteArray>(object)) return Object(std::move(array));
  if (auto view = std::dynamic_pointer_cast<ByteArrayInterval>(object)) {
    return Object(std::move(view));
  }
  // A client's own implementation of the interface has no class of the
  // catalogue to answer for it.
  return Object(std::dynamic_pointer_cast<ByteArrayTrail>(std::move(object)));
}

Object Object::Of(std::shared_ptr<NumericItem> object) noexcept {
  if (auto intel = std::dynamic_pointer_cast<LittleEndian>(object)) return Object(std::move(intel));
  if (auto motorola = std::dynamic_pointer_cast<BigEndian>(object)) {
    return Object(std::move(motorola));
  }
  Object plain;
  if (object) plain.ref_ = std::move(object);
  return plain;
}

std::shared_ptr<IByteArray> Object::ByteArrayInterface() const noexcept {
  switch (ref_.index()) {
    case 1:
      return std::get<1>(ref_);
    case 2:
      return std::get<2>(ref_);
    case 3:
      return std::get<3>(ref_);
    default:
      return nullptr;
  }
}

std::shared_ptr<NumericItem> Object::NumericItemInterface() const noexcept {
  switch (ref_.index()) {
    case 5:
      return std::get<5>(ref_);
    case 6:
      return std::get<6>(ref_);
    case 7:
      return std::get<7>(ref_);
    default:
      return nullptr;
  }
}

const void* Object::Identity() const noexcept {
  return std::visit(
      [](const auto& held) -> const void* {
        if constexpr (std::is_same_v<std::decay_t<decltype(held)>, std::monostate>) {
          return nullptr;
        } else {
          return held.get();
        }
      },
      ref_);
}

std::vector<Value> ObjectEnumerator::Next(int32_t count) {
  std::vector<Value> items;
  if (count < 1) return items;
  const size_t take = std::min(static_cast<size_t>(count), items_->size() - position_);
  detail::OrOutOfMemory([&] {
    items.assign(items_->begin() + static_cast<std::ptrdiff_t>(position_),
                 items_->begin() + static_cast<std::ptrdiff_t>(position_ + take));
  });
  position_ += take;
  return items;
}

bool ObjectEnumerator::Skip(int32_t count) noexcept {
  if (count < 0) return false;
  const size_t left = items_->size() - position_;
  position_ += std::min(static_cast<size_t>(count), left);
  return static_cast<size_t>(count) <= left;
}

std::shared_ptr<ObjectEnumerator> ObjectEnumerator::Clone() const {
  return detail::OrOutOfMemory([&] {
    auto copy = std::make_shared<ObjectEnumerator>(std::vector<Value>());
    copy->items_ = items_;
    copy->position_ = position_;
    return copy;
  });
}

}  // namespace ombrix::automation
