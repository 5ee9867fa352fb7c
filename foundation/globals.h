// The state every part of the module shares: the shared objects of the open
// context, the tester whose context is open, and the re-entrancy flag.
#pragma once

#include <memory>
#include <vector>

#include "foundation/windows_api.h"

namespace corvala4 {

class DetailedFSO;
class Registry;
class GlobalSetting;
class RunContext;

struct Globals {
  std::shared_ptr<DetailedFSO> gobjFSO;
  std::shared_ptr<Registry> gobjRegistry;
  std::shared_ptr<GlobalSetting> gobjSetting;
  /// The tester whose context is open; cleared by the tester's destructor too.
  RunContext* CurrentTester = nullptr;
  bool TestRunning = false;
  /// The shared objects created by CreateGlobalObjects, in creation order.
  std::vector<std::shared_ptr<void>> gcolGlobalObjects;
};

CORVALA4_WINDOWS_API Globals& G();

/// The shared facade; error 91 when no context has created one yet.
CORVALA4_WINDOWS_API DetailedFSO& FSO();
Registry& Reg();
CORVALA4_WINDOWS_API GlobalSetting& Setting();
/// The tester of the open context; error 91 when none is open.
RunContext& Current();

template <typename T>
void RegisterGlobalObject(std::shared_ptr<T>& slot, std::shared_ptr<T> object) {
  slot = object;
  G().gcolGlobalObjects.push_back(std::move(object));
}

void CreateGlobalObjects();
void ReleaseGlobalObjects();

}  // namespace corvala4
