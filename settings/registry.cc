#include "settings/registry.h"

#include "foundation/platform/code_page.h"
#include "foundation/platform/registry_file.h"

namespace corvala4 {

namespace {
// The value is queried into a buffer of this many bytes; a longer one is not readable.
constexpr size_t kBufferSize = 1024;
}  // namespace

std::string Registry::Value(uint32_t KeyRoot, const std::string& KeyName, const std::string& SubKeyRef) {
  try {
    std::optional<RegistryData> data = ReadRegistryValue(KeyRoot, KeyName, SubKeyRef);
    if (!data || data->Bytes.size() > kBufferSize) return {};
    if (data->Type == REG_SZ) return FromCodePage(data->Bytes.substr(0, data->Bytes.find('\0')));
    if (data->Type == REG_DWORD) {
      uint32_t v = 0;
      for (size_t i = data->Bytes.size() < 4 ? data->Bytes.size() : 4; i-- > 0;)
        v = v * 256 + static_cast<unsigned char>(data->Bytes[i]);
      return std::to_string(v);
    }
    return {};
  } catch (...) {
    // Nothing about the registry ever reaches the caller.
    return {};
  }
}

void Registry::SetValue(uint32_t KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                        const std::string& v) {
  try {
    WriteRegistryValue(KeyRoot, KeyName, SubKeyRef, RegistryData{REG_SZ, ToCodePage(v) + '\0'});
  } catch (...) {
  }
}

}  // namespace corvala4
