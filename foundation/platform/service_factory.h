// Creation of platform services by programmatic name, replaceable by tests.
#pragma once

#include <memory>
#include <string>

namespace corvala4 {

/// Base of every object the factory hands out.
class Service {
 public:
  virtual ~Service();
};

class ServiceFactory {
 public:
  virtual ~ServiceFactory();
  /// The new service, or an Error (429 when the name is unknown).
  virtual std::shared_ptr<Service> Create(const std::string& progId) = 0;
};

/// Knows "Scripting.FileSystemObject" and "vbscript.regexp".
ServiceFactory& CurrentServiceFactory();
/// Installs a factory (none restores the default).
void SetServiceFactory(std::shared_ptr<ServiceFactory> factory);

}  // namespace corvala4
