// What the last calculation of a case by `corvala4 run` was: whether it succeeded, why
// not, and which build produced the outputs. Kept in the case's working folder beside
// those outputs, so that `corvala4 approve` takes outputs only from a calculation that
// succeeded and can name the build that made them.
#pragma once

#include <optional>
#include <string>

#include "results/run_report.h"

namespace corvala4::cli {

struct CalculationRecord {
  std::string caption;   // the case calculated: cases may share a working folder
  std::string function;  // its function code, as written
  bool success = false;
  std::string reason;
  BuildIdentity build;
  std::time_t finished = 0;
};

/// The record's file in a working folder.
std::string RecordFileOf(const std::string& workingFolder);
/// Writes the record; false when it cannot be written. A record cut short reads as none.
bool WriteCalculationRecord(const std::string& workingFolder, const CalculationRecord& record);
/// Empties a record left by an earlier calculation, which then reads as none; false when it stays.
bool ClearCalculationRecord(const std::string& workingFolder);
/// The record, or none when the folder holds none that can be read.
std::optional<CalculationRecord> ReadCalculationRecord(const std::string& workingFolder);

}  // namespace corvala4::cli
