#include "corvala4/dispatch_ids.h"
#include "corvala4/tester.h"
#include "foundation/errors.h"

namespace corvala4 {

std::shared_ptr<Tester> CreateTester(const std::string& progId) {
  if (progId != dispid::kTesterProgId)
    Raise(err::CannotCreateObject, RuntimeText(err::CannotCreateObject) + ": " + progId);
  return std::make_shared<Tester>();
}

}  // namespace corvala4
