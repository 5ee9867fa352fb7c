// `corvala4 approve`: the produced outputs of cases become their new standard files,
// when a deliberate change of the results is to be kept. Only the declared outputs,
// only from a calculation of that very case that succeeded, never through a link that
// leaves the test data; all the cases named together, or none of them: every new file is
// written out first, then the approval log's lines, then each is renamed into place.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvala4 {
class TestCaseImpl;
}

namespace corvala4::cli {

/// A standard file that an approval replaces, as a preview tells it.
struct StandardChange {
  std::string name;
  int64_t standard_size = -1;  // -1: there is no standard file yet
  int64_t output_size = 0;
  /// The first line the comparison does not accept, else the first whose bytes differ (tolerated);
  /// 0 when only the line ends differ, -1 when the files cannot be read.
  int64_t line = 0;
  bool tolerated = false;
  std::string standard_line, output_line;  // with -1: why it cannot be read
};

struct Approval {
  std::string caption;
  bool refused = false;
  std::string message;                  // why it was refused, or what was done
  std::vector<std::string> files;       // the standard files replaced
  std::vector<StandardChange> changes;  // preview: what would be replaced
};

struct Approvals {
  bool approved = false;  // every case approved (or already the same as its standard)
  std::string failure;    // why nothing was approved, when no single case is to blame
  std::vector<Approval> cases;
};

/// The approval log's file in a standard directory.
std::string ApprovalLogOf(const std::string& standardDirectory);

/// Approves the cases of the open context together. When any of them is refused (its working
/// folder, its record of a successful calculation of it, or a declared output missing; an output
/// or standard that is a link leading out of the test data), or anything fails before the log
/// lines are written, or `stop` answers true while the files are copied, nothing changes. The
/// caller holds the run lock. The log lies in `logFolder`, by default the standard directory.
Approvals ApproveCases(const std::vector<std::shared_ptr<TestCaseImpl>>& cases, const std::string& reason,
                       const std::string& standardDirectory, const std::function<bool()>& stop = {},
                       const std::string& logFolder = {});

/// What ApproveCases would do with the same cases, checked the same way, with nothing written:
/// each case's refusal, or the standard files it would change.
Approvals PreviewApproval(const std::vector<std::shared_ptr<TestCaseImpl>>& cases,
                          const std::string& standardDirectory);

/// Whether the case's last calculation by `corvala4 run`, of this very case, is recorded and succeeded.
bool CalculationSucceeded(TestCaseImpl& tc);

/// The name of the user approving: the account's name, else $USER, else the user id.
std::string UserName();

}  // namespace corvala4::cli
