// An ordered collection of shared objects with 1-based positions and optional
// text keys; the common shape of the rule list and of a rule's allowed users.
// Failures (a position outside 1..Count, an unknown key, a key already used)
// throw CollectionError and leave the collection as it was.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zelvo {

class CollectionError : public std::out_of_range {
 public:
  using std::out_of_range::out_of_range;
};

template <typename T>
class KeyedCollection {
 public:
  using Pointer = std::shared_ptr<T>;
  using const_iterator = typename std::vector<Pointer>::const_iterator;

  // Appends `item`; `key`, when given, must not be in use.
  void Add(Pointer item, std::optional<std::string> key = std::nullopt) {
    if (!item) throw CollectionError("Cannot add an empty object");
    if (key && Find(*key) != kNotFound) throw CollectionError("Key is already used: " + *key);
    // Make room in both lists first, so a failed allocation leaves them in step.
    items_.reserve(items_.size() + 1);
    keys_.reserve(keys_.size() + 1);
    items_.push_back(std::move(item));
    keys_.push_back(std::move(key));
  }

  void Remove(std::int32_t position) { Erase(Index(position)); }
  void Remove(const std::string& key) { Erase(IndexOfKey(key)); }

  // Empties the collection; objects held elsewhere live on.
  void RemoveAll() {
    items_.clear();
    keys_.clear();
  }

  // The entry is returned as a new reference: it stays valid when the
  // collection later drops it.
  Pointer Item(std::int32_t position) const { return items_[Index(position)]; }
  Pointer Item(const std::string& key) const { return items_[IndexOfKey(key)]; }

  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }

  // Iteration in insertion order (the NewEnum of the collection).
  const_iterator begin() const { return items_.begin(); }
  const_iterator end() const { return items_.end(); }

 private:
  static constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

  std::size_t Index(std::int32_t position) const {
    if (position < 1 || position > Count())
      throw CollectionError("Position out of range: " + std::to_string(position));
    return static_cast<std::size_t>(position - 1);
  }
  std::size_t Find(const std::string& key) const {
    for (std::size_t i = 0; i < keys_.size(); ++i)
      if (keys_[i] && *keys_[i] == key) return i;
    return kNotFound;
  }
  std::size_t IndexOfKey(const std::string& key) const {
    const std::size_t i = Find(key);
    if (i == kNotFound) throw CollectionError("Unknown key: " + key);
    return i;
  }
  void Erase(std::size_t index) {
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
    keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(index));
  }

  std::vector<Pointer> items_;
  std::vector<std::optional<std::string>> keys_;
};

}  // namespace zelvo
