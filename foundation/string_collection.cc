#include "foundation/string_collection.h"

#include <memory>

#include "foundation/detailed_fso.h"
#include "foundation/errors.h"
#include "foundation/format_msg.h"
#include "foundation/globals.h"
#include "foundation/text.h"

namespace corvala4 {

namespace {

std::string IndexText(const StringCollection::Index& index) {
  if (!index.IsKey) return "位置 " + std::to_string(index.Position);
  return "键 '" + index.Key + "'";
}

[[noreturn]] void RaiseBadIndex(const StringCollection::Index& index, int32_t count) {
  RaiseDetailed(err::SubscriptOutOfRange, IndexText(index) + ", 项数 " + std::to_string(count));
}

}  // namespace

long StringCollection::FindKey(const std::string& key) const {
  for (size_t i = 0; i < keys_.size(); ++i)
    if (keys_[i] && SameTextIgnoringCase(*keys_[i], key)) return static_cast<long>(i);
  return -1;
}

long StringCollection::Find(const Index& index) const {
  if (!index.IsKey) return index.Position >= 1 && index.Position <= Count() ? index.Position - 1 : -1;
  return FindKey(index.Key);
}

size_t StringCollection::Slot(const Index& index) const {
  long slot = Find(index);
  if (slot < 0) RaiseBadIndex(index, Count());
  return static_cast<size_t>(slot);
}

void StringCollection::Insert(size_t slot, const std::string& text, std::optional<std::string> key) {
  items_.insert(items_.begin() + static_cast<long>(slot), text);
  keys_.insert(keys_.begin() + static_cast<long>(slot), std::move(key));
}

void StringCollection::Add(const std::string& Item, const std::optional<std::string>& key,
                           const std::optional<Index>& before, const std::optional<Index>& after) {
  if (before && after)
    RaiseDetailed(err::InvalidProcedureCall, "before 和 after 只能给一个");
  if (key && FindKey(*key) >= 0)
    RaiseDetailed(err::KeyAlreadyAssociated, "键 '" + *key + "'");
  size_t slot = items_.size();
  if (before) slot = Slot(*before);
  if (after) slot = Slot(*after) + 1;
  Insert(slot, Item, key);
  // Listeners may change the list; the text handed to them is their own copy.
  std::string added = Item;
  for (auto& listener : OnAdd)
    if (listener) listener(added);
}

const std::string& StringCollection::Item(const Index& index) const { return items_[Slot(index)]; }

void StringCollection::SetItem(int32_t index, const std::string& v) {
  if (index >= 1 && index <= Count()) {
    items_.erase(items_.begin() + (index - 1));
    keys_.erase(keys_.begin() + (index - 1));
  }
  if (index > Count() || items_.empty()) {
    Insert(items_.size(), v, std::nullopt);
    return;
  }
  Insert(Slot(index), v, std::nullopt);
}

void StringCollection::Remove(const Index& index) {
  size_t slot = Slot(index);
  items_.erase(items_.begin() + static_cast<long>(slot));
  keys_.erase(keys_.begin() + static_cast<long>(slot));
}

void StringCollection::RemoveEx(const std::string& match) {
  for (size_t i = items_.size(); i-- > 0;) {
    if (items_[i] == match) {
      items_.erase(items_.begin() + static_cast<long>(i));
      keys_.erase(keys_.begin() + static_cast<long>(i));
    }
  }
}

void StringCollection::RemoveAll() {
  items_.clear();
  keys_.clear();
}

void StringCollection::AddCol(const StringCollection* sc) {
  if (!sc) return;
  // A copy first: adding a list to itself doubles it instead of running forever.
  std::vector<std::string> snapshot = sc->items_;
  for (const std::string& text : snapshot) Add(text);
}

void StringCollection::Save(const std::string& filename) const {
  std::string text;
  for (const std::string& item : items_) {
    text += item;
    text += "\r\n";
  }
  std::unique_ptr<TextStream> stream = FSO().OpenTextFile(filename, ForWriting, true, TristateFalse);
  if (!text.empty()) stream->Write(text);
  stream->Close();
}

std::string StringCollection::Join(const std::string& delimiter) const {
  std::string result;
  for (const std::string& item : items_) {
    result += item;
    result += delimiter;
  }
  if (result.size() >= delimiter.size()) result.resize(result.size() - delimiter.size());
  return result;
}

void StringCollection::Load(const std::string& filename) {
  std::unique_ptr<TextStream> stream = FSO().OpenTextFile(filename, ForReading, false, TristateFalse);
  std::string text;
  if (!stream->AtEndOfStream()) text = stream->ReadAll();
  stream->Close();
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') continue;
    Add(text.substr(start, i - start));
    if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) Add(text.substr(start));
}

const std::string& StringCollection::NextLine() {
  const std::string& line = Item(line_num_);
  ++line_num_;
  return line;
}

bool StringCollection::Exists(const std::string& target) const {
  for (const std::string& item : items_)
    if (item == target) return true;
  return false;
}

StringCollection StringCollection::Extend(const std::string& strFormat, const StringCollection* sc,
                                          const std::vector<Value>& args) const {
  StringCollection result;
  std::vector<Value> values;
  for (const std::string& x : items_) {
    if (!sc) {
      values.assign({Value(x)});
      values.insert(values.end(), args.begin(), args.end());
      result.Add(FormatMsgList(strFormat, values));
      continue;
    }
    for (const std::string& y : sc->items_) {
      values.assign({Value(x), Value(y)});
      values.insert(values.end(), args.begin(), args.end());
      result.Add(FormatMsgList(strFormat, values));
    }
  }
  return result;
}

}  // namespace corvala4
