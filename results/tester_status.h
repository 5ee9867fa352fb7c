// The version record: one line per build of the host that passed every mandatory
// case, kept beside the host and identified by the executable's size and time.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace corvala4 {

class RunContext;

class TesterStatus {
 public:
  void Attach(RunContext& tester) { tester_ = &tester; }
  void Detach() { tester_ = nullptr; }
  bool Attached() const { return tester_ != nullptr; }

  /// The owner's HostEXE; error 91 when detached.
  std::string HostPath() const;
  std::string HostFolder() const;
  /// The context's record folder (beside the host, or the definition file named explicitly)
  /// joined with the host's base name + "_Test_Ver.txt".
  std::string RecordPath() const;

  /// Day in bits 11-15, month in 7-10, year - 1980 in 0-6 (not the MS-DOS layout).
  static int32_t PackDate(std::time_t t);
  /// Seconds / 2 (halves to even) in bits 11-15, minute in 5-10, hour in 0-4.
  static int32_t PackTime(std::time_t t);
  /// "2006年5月12日" and "14:32:05", in local time.
  static std::string LongDate(std::time_t t);
  static std::string LongTime(std::time_t t);

  /// Appends the line of the executable now on disk.
  void RecordVersionPassed();
  /// Whether the record holds a line for the executable now on disk.
  bool VersionPassed();

 private:
  RunContext& Owner() const;

  RunContext* tester_ = nullptr;
};

}  // namespace corvala4
