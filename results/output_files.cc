#include "results/output_files.h"

#include "foundation/owned_items.h"

namespace corvala4 {

std::shared_ptr<OutputFile> OutputFiles::Item(int32_t index) const { return ItemAt(items_, index); }

void OutputFiles::Clear() { DetachAll(items_); }

}  // namespace corvala4
