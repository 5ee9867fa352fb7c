#include "foundation/platform/service_factory.h"

#include "foundation/errors.h"
#include "foundation/platform/file_system.h"
#include "foundation/platform/regexp.h"

namespace corvala4 {

Service::~Service() = default;
ServiceFactory::~ServiceFactory() = default;

namespace {

class DefaultServiceFactory : public ServiceFactory {
 public:
  std::shared_ptr<Service> Create(const std::string& progId) override {
    if (progId == "Scripting.FileSystemObject") return NewPosixFileSystem();
    if (progId == "vbscript.regexp") return std::make_shared<RegExp>();
    throw Error(err::CannotCreateObject, progId, RuntimeText(err::CannotCreateObject) + ": " + progId);
  }
};

std::shared_ptr<ServiceFactory>& Installed() {
  static std::shared_ptr<ServiceFactory> factory;
  return factory;
}

}  // namespace

ServiceFactory& CurrentServiceFactory() {
  static DefaultServiceFactory fallback;
  return Installed() ? *Installed() : fallback;
}

void SetServiceFactory(std::shared_ptr<ServiceFactory> factory) { Installed() = std::move(factory); }

}  // namespace corvala4
