// An ordered collection of test cases, counted from 1.
#pragma once

#include <cstdint>
#include <iterator>
#include <memory>
#include <string_view>

#include "corvala4/export.h"

namespace corvala4 {

class TestCase;

class CORVALA4_API TestCases {
 public:
  virtual ~TestCases();
  virtual int32_t Count() const = 0;
  /// The case at a 1-based position; out of range fails with error 9.
  virtual std::shared_ptr<TestCase> Item(int32_t Index) const = 0;
  /// Cases have no keys: a text index always fails with error 9.
  virtual std::shared_ptr<TestCase> Item(std::string_view Index) const = 0;

  /// Walks the cases in order: for (auto& tc : *tester.TestCases()).
  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = std::shared_ptr<TestCase>;
    using difference_type = std::ptrdiff_t;
    using pointer = const value_type*;
    using reference = const value_type&;
    Iterator(const TestCases* owner, int32_t index) : owner_(owner), index_(index) { Load(); }
    reference operator*() const { return current_; }
    pointer operator->() const { return &current_; }
    Iterator& operator++() { ++index_; Load(); return *this; }
    bool operator==(const Iterator& other) const { return index_ == other.index_; }
    bool operator!=(const Iterator& other) const { return index_ != other.index_; }

   private:
    void Load() {
      current_ = (owner_ && index_ <= owner_->Count()) ? owner_->Item(index_) : nullptr;
    }
    const TestCases* owner_;
    int32_t index_;
    value_type current_;
  };
  Iterator begin() const { return Iterator(this, 1); }
  Iterator end() const { return Iterator(nullptr, Count() + 1); }
};

}  // namespace corvala4
