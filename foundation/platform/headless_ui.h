// The user interface without a display: every message goes to the log and to
// standard error and is answered 0, so no question can loop.
#pragma once

#include "corvala4/user_interface.h"
#include "foundation/windows_api.h"

namespace corvala4 {

class CORVALA4_WINDOWS_API HeadlessUserInterface : public UserInterface {
 public:
  int MsgBox(const std::string& prompt, int style, const std::string& title, const std::string& helpFile,
             int helpContext) override;
  void ShowErrorDialog(const std::string& summary, const std::string& details) override;
  void DoEvents() override {}
  void ShowTestWindow(Tester& tester) override;
  void ShowCompareWindow(TestCase& tc) override;
  void ShowUnitRunner(Tester& tester) override;
};

}  // namespace corvala4
