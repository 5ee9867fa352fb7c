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

DetailedFSO& FSO() {
  if (!G().gobjFSO) Raise(err::ObjectNotSet);
  return *G().gobjFSO;
}

Registry& Reg() {
  if (!G().gobjRegistry) Raise(err::ObjectNotSet);
  return *G().gobjRegistry;
}

GlobalSetting& Setting() {
  if (!G().gobjSetting) Raise(err::ObjectNotSet);
  return *G().gobjSetting;
}

RunContext& Current() {
  if (!G().CurrentTester) Raise(err::ObjectNotSet);
  return *G().CurrentTester;
}

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
