#include "results/output_files.h"

#include "foundation/errors.h"

namespace corvala4 {

std::shared_ptr<OutputFile> OutputFiles::Item(int32_t index) const {
  if (index < 1 || index > Count()) Raise(err::SubscriptOutOfRange);
  return items_[static_cast<size_t>(index - 1)];
}

void OutputFiles::Clear() {
  std::vector<std::shared_ptr<OutputFile>> taken;
  taken.swap(items_);
  for (const std::shared_ptr<OutputFile>& file : taken) file->Detach();
}

}  // namespace corvala4
