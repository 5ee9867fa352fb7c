// `corvala4 approve`: the produced outputs of a case become its new standard files,
// when a deliberate change of the results is to be kept. Only the declared outputs,
// only from a calculation that succeeded, each file replaced whole through a rename,
// and a line in the approval log of the standard directory for each case approved.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace corvala4 {
class TestCaseImpl;
}

namespace corvala4::cli {

struct Approval {
  bool approved = false;
  std::string message;             // why it was refused, or what was done
  std::vector<std::string> files;  // the standard files replaced
};

/// The approval log's file in a standard directory.
std::string ApprovalLogOf(const std::string& standardDirectory);

/// Approves one case of the open context. Refused, with nothing changed, when its working
/// folder, its record of a successful calculation or any declared output is missing.
Approval ApproveCase(TestCaseImpl& tc, const std::string& reason, const std::string& standardDirectory);

/// The name of the user approving: the account's name, else $USER, else the user id.
std::string UserName();

}  // namespace corvala4::cli
