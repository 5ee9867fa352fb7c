// The registry of our own: one text file per root key in the REGEDIT4 format, in
// /etc/corvala4/registry/ (moved by CORVALA4_REGISTRY_DIR), in the code page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvala4 {

/// Value types, with the platform's numbers.
enum RegistryType : uint32_t {
  REG_NONE = 0,
  REG_SZ = 1,
  REG_EXPAND_SZ = 2,
  REG_BINARY = 3,
  REG_DWORD = 4,
  REG_MULTI_SZ = 7,
};

/// A value as the ANSI functions hand it out: texts in the code page with their NUL,
/// a DWORD as four bytes, lowest first.
struct RegistryData {
  uint32_t Type = REG_NONE;
  std::string Bytes;
};

/// The folder of the registry files.
std::string RegistryFolder();
/// "HKEY_LOCAL_MACHINE" and so on; empty for a handle that is no predefined root key.
std::string RegistryRootName(uint32_t root);
/// The file of a root key; empty for an unknown root.
std::string RegistryFilePath(uint32_t root);

/// The value, or none when the file, the key or the value is missing or cannot be read.
/// Names are UTF-8 and compared without regard to case; keyName is below the root, parts
/// separated by backslashes.
std::optional<RegistryData> ReadRegistryValue(uint32_t root, const std::string& keyName,
                                              const std::string& valueName);
/// Stores the value, creating the key and the file and keeping every other line of the file.
/// 0, or the errno of the failure (the file is then unchanged).
int WriteRegistryValue(uint32_t root, const std::string& keyName, const std::string& valueName,
                       const RegistryData& data);

/// The text of one registry file, understood as far as it can be: lines that make no sense
/// are skipped on reading and kept unchanged on writing.
class RegistryDocument {
 public:
  /// rootName is the root the file holds; keys of other roots in it are ignored.
  RegistryDocument(std::string rootName, std::string bytes);
  std::optional<RegistryData> Find(const std::string& keyName, const std::string& valueName) const;
  /// Sets the value; false when a name cannot be written in the format (line breaks).
  bool Set(const std::string& keyName, const std::string& valueName, const RegistryData& data);
  /// The file's bytes.
  std::string Bytes() const;

  /// One value line as it is written, in UTF-8 (without line end).
  static std::string ValueLine(const std::string& valueName, const RegistryData& data,
                               const std::string& eol);

 private:
  struct Line {
    std::string raw;  // the bytes, line ends included
    enum Kind { Other, Key, Value } kind = Other;
    std::string name;  // key below the root (Key) or value name (Value)
    bool ours = false;  // a key of this file's root
    RegistryData data;
  };
  void Parse(const std::string& bytes);
  Line Interpret(std::string raw) const;

  std::string root_;
  std::vector<Line> lines_;
  std::string eol_ = "\n";
};

}  // namespace corvala4
