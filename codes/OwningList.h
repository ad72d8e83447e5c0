// TOwningList: an ordered list that owns its objects, the common shape of the
// region, tree and code lists.
//   Add (takes ownership), Reserve, Count, Items (0-based), RemoveWhere, RemoveFrom,
//   Clear (destroys first to last)
// Items of a position outside 0 .. Count - 1 throws std::out_of_range.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace ormax {

template <typename T>
class TOwningList {
 public:
  TOwningList() = default;
  TOwningList(const TOwningList&) = delete;
  TOwningList& operator=(const TOwningList&) = delete;
  TOwningList(TOwningList&&) noexcept = default;
  TOwningList& operator=(TOwningList&&) noexcept = default;
  ~TOwningList() { Clear(); }

  // Returns the object now owned by the list.
  T& Add(std::unique_ptr<T> item) {
    items_.push_back(std::move(item));
    return *items_.back();
  }
  // Room for `count` objects in all, so that adding a known number grows the list once.
  void Reserve(size_t count) { items_.reserve(count); }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  T& Items(int32_t index) { return *items_.at(static_cast<size_t>(index)); }
  const T& Items(int32_t index) const { return *items_.at(static_cast<size_t>(index)); }

  // Destroys the objects for which drop(object) holds; the others keep their order.
  template <typename Drop>
  void RemoveWhere(Drop drop) {
    std::erase_if(items_, [&](const std::unique_ptr<T>& item) { return drop(*item); });
  }

  // Destroys the objects from place first on (none when first >= Count()).
  void RemoveFrom(int32_t first) {
    if (first < 0) first = 0;
    if (static_cast<size_t>(first) < items_.size()) items_.resize(static_cast<size_t>(first));
  }

  // Destroys the objects from the first to the last, then empties the list.
  void Clear() {
    for (auto& item : items_) item.reset();
    items_.clear();
  }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<std::unique_ptr<T>> items_;
};

}  // namespace ormax
