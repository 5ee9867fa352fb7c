#include "foundation/globals.h"

#include "foundation/detailed_fso.h"
#include "foundation/errors.h"
#include "settings/global_setting.h"
#include "settings/registry.h"

namespace corvala4 {

Globals& G() {
  static Globals globals;
  return globals;
}

namespace {

/// The object a shared reference points to; error 91 when it points to none.
template <typename Pointer>
auto& Required(const Pointer& object) {
  if (!object) Raise(err::ObjectNotSet);
  return *object;
}

}  // namespace

DetailedFSO& FSO() { return Required(G().gobjFSO); }
Registry& Reg() { return Required(G().gobjRegistry); }
GlobalSetting& Setting() { return Required(G().gobjSetting); }
RunContext& Current() { return Required(G().CurrentTester); }

void CreateGlobalObjects() {
  RegisterGlobalObject(G().gobjFSO, std::make_shared<DetailedFSO>());
  RegisterGlobalObject(G().gobjRegistry, std::make_shared<Registry>());
  RegisterGlobalObject(G().gobjSetting, std::make_shared<GlobalSetting>());
}

void ReleaseGlobalObjects() {
  auto& list = G().gcolGlobalObjects;
  while (!list.empty()) list.erase(list.begin());
}

}  // namespace corvala4
