// The ordered output files of a case, counted from 1; names may repeat.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "results/output_file.h"

namespace corvala4 {

class OutputFiles {
 public:
  void Add(std::shared_ptr<OutputFile> outputFile) { items_.push_back(std::move(outputFile)); }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  /// The file at a 1-based position (error 9 out of range).
  std::shared_ptr<OutputFile> Item(int32_t index) const;
  /// Detaches and removes every file.
  void Clear();

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<std::shared_ptr<OutputFile>> items_;
};

}  // namespace corvala4
