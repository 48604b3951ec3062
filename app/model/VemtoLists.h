// Owning lists of materials, pipes and conditions, with name look-up and unique names.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "ByteStream.h"
#include "VemtoCondition.h"
#include "VemtoMaterial.h"
#include "VemtoPipe.h"

namespace vemto {

/// An ordered list that owns its items, each with a `Name`.
template <class T>
class TVemtoNamedList {
 public:
  /// Appends `item` and returns it.
  T* Add(std::unique_ptr<T> item) {
    assert(item != nullptr);
    items_.push_back(std::move(item));
    return items_.back().get();
  }
  /// Inserts `item` at position `index` (at most Count()) and returns it.
  T* Insert(std::size_t index, std::unique_ptr<T> item) {
    assert(item != nullptr && index <= items_.size());
    return items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), std::move(item))
        ->get();
  }
  /// Number of items.
  std::size_t Count() const { return items_.size(); }
  /// Item i (zero-based); i must be below Count().
  T* operator[](std::size_t i) const {
    assert(i < items_.size());
    return items_[i].get();
  }
  /// Zero-based position of `item`, -1 when it is not in the list.
  std::int32_t IndexOf(const T* item) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
      if (items_[i].get() == item) return static_cast<std::int32_t>(i);
    return -1;
  }
  /// Removes `item` from the list and hands it back; null when it is not in the list.
  std::unique_ptr<T> Extract(const T* item) {
    const auto it = std::find_if(items_.begin(), items_.end(),
                                 [item](const std::unique_ptr<T>& p) { return p.get() == item; });
    if (it == items_.end()) return nullptr;
    std::unique_ptr<T> out = std::move(*it);
    items_.erase(it);
    return out;
  }
  /// Destroys every item.
  void Clear() { items_.clear(); }
  /// The items as pointers in list order (for resolving stored indices).
  std::vector<T*> Pointers() const {
    std::vector<T*> out;
    out.reserve(items_.size());
    for (const auto& p : items_) out.push_back(p.get());
    return out;
  }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  /// True when an item has exactly this name (case-sensitive).
  bool Contains(std::string_view name) const {
    return std::any_of(items_.begin(), items_.end(),
                       [name](const std::unique_ptr<T>& p) { return p->Name == name; });
  }
  /// `name` itself when no item has it; otherwise `name` followed by 1, 2, 3, ..., the
  /// first that no item has. Where the result would exceed 255 characters, the end of
  /// `name` is dropped so that the numbered name can still be stored.
  std::string MakeUniqueName(std::string_view name) const {
    if (!Contains(name)) return std::string(name);
    for (std::size_t k = 1;; ++k) {
      const std::string number = fmt::format("{}", k);
      const std::string_view base =
          name.substr(0, std::min(name.size(), kMaxRecordText - number.size()));
      std::string candidate = fmt::format("{}{}", base, number);
      if (!Contains(candidate)) return candidate;
    }
  }

 private:
  std::vector<std::unique_ptr<T>> items_;
};

/// The materials of a model or of the material library.
class TVemtoMaterialList : public TVemtoNamedList<TVemtoMaterial> {};
/// The cooling pipes of a model.
class TVemtoPipeList : public TVemtoNamedList<TVemtoPipe> {};
/// The conditions of a model (all six kinds).
class TVemtoConditionList : public TVemtoNamedList<TVemtoCondition> {};

}  // namespace vemto
