// Reads and writes one named value of a registry key as text; never fails.
#pragma once

#include <cstdint>
#include <string>

namespace corvala4 {

/// Predefined root keys, with the platform's handle values.
enum RegistryRoot : uint32_t {
  HKEY_CLASSES_ROOT = 0x80000000u,
  HKEY_CURRENT_USER = 0x80000001u,
  HKEY_LOCAL_MACHINE = 0x80000002u,
  HKEY_USERS = 0x80000003u,
};

class Registry {
 public:
  /// Empty text when the key or value is missing, unreadable, too long or not REG_SZ.
  std::string Value(uint32_t KeyRoot, const std::string& KeyName, const std::string& SubKeyRef);
  /// Stores the text as REG_SZ, creating the key; failures are ignored.
  void SetValue(uint32_t KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                const std::string& v);
};

}  // namespace corvala4
