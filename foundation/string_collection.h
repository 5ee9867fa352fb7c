// An ordered, 1-based list of texts with optional keys, line-file load and save,
// joining, searching and expansion by a template.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/value.h"

namespace corvala4 {

class StringCollection {
 public:
  /// A 1-based position or a key (keys are compared without regard to case).
  struct Index {
    Index(int32_t position) : Position(position) {}
    Index(std::string key) : Key(std::move(key)), IsKey(true) {}
    Index(const char* key) : Key(key), IsKey(true) {}
    int32_t Position = 0;
    std::string Key;
    bool IsKey = false;
  };
  using const_iterator = std::vector<std::string>::const_iterator;

  /// Stores the text at the end, or before/after the given item; then raises OnAdd.
  /// A duplicate key fails with 457, a bad position or key with 9, both before and after with 5.
  void Add(const std::string& Item, const std::optional<std::string>& key = std::nullopt,
           const std::optional<Index>& before = std::nullopt,
           const std::optional<Index>& after = std::nullopt);
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  /// The item at the position or with the key; error 9 when there is none.
  const std::string& Item(const Index& index) const;
  /// Replaces the item at 1..Count; a position beyond the end appends; a position below 1
  /// makes the text the only item of an empty list and fails with 9 on any other.
  void SetItem(int32_t index, const std::string& v);
  void Remove(const Index& index);
  /// Removes every item equal to match (case-sensitive).
  void RemoveEx(const std::string& match);
  void RemoveAll();
  /// Appends every item of sc through Add; none does nothing.
  void AddCol(const StringCollection* sc);
  /// Writes every item followed by CR LF in the code page, replacing the file.
  void Save(const std::string& filename) const;
  /// Every item followed by the delimiter, the last delimiter cut off.
  std::string Join(const std::string& delimiter) const;
  /// Appends the file's lines; a line ends at CR or CR LF, a lone LF stays in the item.
  void Load(const std::string& filename);
  /// The item at LineNum, then LineNum + 1; error 9 (LineNum unchanged) past either end.
  const std::string& NextLine();
  int32_t LineNum() const { return line_num_; }
  void SetLineNum(int32_t value) { line_num_ = value; }
  /// Whether an item equals target (case-sensitive).
  bool Exists(const std::string& target) const;
  /// A new list of FormatMsg(strFormat, x, [y,] args...) for every item x (and every y of sc).
  StringCollection Extend(const std::string& strFormat, const StringCollection* sc,
                          const std::vector<Value>& args = {}) const;

  const_iterator begin() const { return items_.begin(); }
  const_iterator end() const { return items_.end(); }

  /// Listeners of the event raised by Add with the added text, called in order.
  std::vector<std::function<void(const std::string& Item)>> OnAdd;

 private:
  /// 0-based slot of a position or key, or -1.
  long Find(const Index& index) const;
  long FindKey(const std::string& key) const;
  size_t Slot(const Index& index) const;
  void Insert(size_t slot, const std::string& text, std::optional<std::string> key);

  std::vector<std::string> items_;
  std::vector<std::optional<std::string>> keys_;  // parallel to items_
  int32_t line_num_ = 1;
};

}  // namespace corvala4
