// Lists of objects that keep a reference back to the owner of the list: an item is
// found by its 1-based position, and emptying the list detaches every item.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/errors.h"

namespace corvala4 {

/// The item at a 1-based position; error 9 out of range.
template <typename Item>
const Item& ItemAt(const std::vector<Item>& items, int32_t index) {
  if (index < 1 || index > static_cast<int64_t>(items.size())) Raise(err::SubscriptOutOfRange);
  return items[static_cast<size_t>(index - 1)];
}

/// Empties the list first, then detaches the items taken, first to last, so that an
/// item never finds itself in a list that is being emptied.
template <typename Item>
void DetachAll(std::vector<Item>& items) {
  std::vector<Item> taken;
  taken.swap(items);
  for (const Item& item : taken) item->Detach();
}

}  // namespace corvala4
