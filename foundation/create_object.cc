#include "foundation/create_object.h"

#include "corvala4/user_interface.h"
#include "foundation/errors.h"
#include "foundation/globals.h"
#include "foundation/run_context.h"

namespace corvala4 {

std::shared_ptr<Service> CreateObjectEx(const std::string& progId) {
  while (true) {
    try {
      return CurrentServiceFactory().Create(progId);
    } catch (...) {
      Error e = ToError(std::current_exception());
      std::string prompt = "无法创建类" + progId + "的实例." + "\r\n" + ErrDetailText(e);
      int answer = 0;
      if (RunContext* tester = G().CurrentTester)
        answer = tester->ShowMessage(prompt, kRetryCancel | kCritical);
      else
        answer = CurrentUserInterface().MsgBox(prompt, kRetryCancel | kCritical, kDefaultMessageTitle, "", 0);
      if (answer != kRetry) return nullptr;
    }
  }
}

}  // namespace corvala4
