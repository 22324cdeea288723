// An ordered collection of shared objects with 1-based positions and optional
// text keys; the common shape of the rule list and of a rule's allowed users.
// Failures (a position outside 1..Count, an unknown key, a key already used)
// throw CollectionError and leave the collection as it was.
//
// A walk (begin/end, a range-for) visits the entries that the collection held
// when the walk began and keeps them alive until it ends: Add, Remove and
// RemoveAll during a walk are safe and take effect for the next walk. Entries
// are copied only when the collection changes while a walk is under way;
// otherwise Add is amortised constant time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <utility>
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

 private:
  struct Entry {
    Pointer item;
    std::optional<std::string> key;
  };
  using Entries = std::vector<Entry>;

 public:
  // Walks the entries as they stood when the walk began.
  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Pointer;
    using difference_type = std::ptrdiff_t;
    using pointer = const Pointer*;
    using reference = const Pointer&;

    const_iterator() = default;
    reference operator*() const { return (*entries_)[index_].item; }
    pointer operator->() const { return &(*entries_)[index_].item; }
    const_iterator& operator++() {
      ++index_;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator before = *this;
      ++index_;
      return before;
    }
    // Every iterator past the last of its entries equals every other one.
    friend bool operator==(const const_iterator& a, const const_iterator& b) {
      if (a.AtEnd() || b.AtEnd()) return a.AtEnd() == b.AtEnd();
      return a.entries_ == b.entries_ && a.index_ == b.index_;
    }

   private:
    friend class KeyedCollection;
    const_iterator(std::shared_ptr<const Entries> entries, std::size_t index)
        : entries_(std::move(entries)), index_(index) {}
    bool AtEnd() const { return !entries_ || index_ >= entries_->size(); }

    std::shared_ptr<const Entries> entries_;
    std::size_t index_ = 0;
  };

  KeyedCollection() = default;
  // A copy holds the same objects; the two lists change independently.
  KeyedCollection(const KeyedCollection&) = default;
  KeyedCollection& operator=(const KeyedCollection&) = default;

  // Appends `item`; `key`, when given, must not be in use.
  void Add(Pointer item, std::optional<std::string> key = std::nullopt) {
    if (!item) throw CollectionError("Cannot add an empty object");
    if (key && keys_.count(*key) != 0) throw CollectionError("Key is already used: " + *key);
    Entries& entries = Writable();
    entries.push_back(Entry{std::move(item), std::move(key)});
    if (!entries.back().key) return;
    try {
      keys_.insert(*entries.back().key);
    } catch (...) {
      entries.pop_back();
      throw;
    }
  }

  void Remove(std::int32_t position) { Erase(Index(position)); }
  void Remove(const std::string& key) { Erase(IndexOfKey(key)); }

  // Empties the collection; objects held elsewhere (or by a walk) live on.
  void RemoveAll() {
    entries_ = std::make_shared<Entries>();
    keys_.clear();
  }

  // The entry is returned as a new reference: it stays valid when the
  // collection later drops it.
  Pointer Item(std::int32_t position) const { return (*entries_)[Index(position)].item; }
  Pointer Item(const std::string& key) const { return (*entries_)[IndexOfKey(key)].item; }

  std::int32_t Count() const { return static_cast<std::int32_t>(entries_->size()); }

  // Iteration in insertion order (the NewEnum of the collection).
  const_iterator begin() const { return const_iterator(entries_, 0); }
  const_iterator end() const { return const_iterator(entries_, entries_->size()); }

 private:
  // The entries, copied first when a walk still holds them.
  Entries& Writable() {
    if (entries_.use_count() > 1) entries_ = std::make_shared<Entries>(*entries_);
    return *entries_;
  }
  std::size_t Index(std::int32_t position) const {
    if (position < 1 || position > Count())
      throw CollectionError("Position out of range: " + std::to_string(position));
    return static_cast<std::size_t>(position - 1);
  }
  std::size_t IndexOfKey(const std::string& key) const {
    if (keys_.count(key) != 0)
      for (std::size_t i = 0; i < entries_->size(); ++i)
        if ((*entries_)[i].key == key) return i;
    throw CollectionError("Unknown key: " + key);
  }
  void Erase(std::size_t index) {
    Entries& entries = Writable();
    if (entries[index].key) keys_.erase(*entries[index].key);
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(index));
  }

  std::shared_ptr<Entries> entries_ = std::make_shared<Entries>();
  std::unordered_set<std::string> keys_;  // the keys in use
};

}  // namespace zelvo
