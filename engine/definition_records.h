// A definition file read as written, for `corvala4 check`: every case record with its line,
// absent attributes kept absent, so that every problem can be told at once. The loaders
// themselves stop at the first absent attribute, as a run must.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvala4 {

struct RecordedOutput {
  int line = 0;
  std::string name;                 // as the loader names it (backslashes turned, trimmed)
  std::optional<std::string> keep;  // XML: the 保留 attribute; TXT: "y" in angle brackets, else "n"
};

struct RecordedCase {
  int line = 0;
  // As the loader takes them; absent (XML) when the attribute is missing.
  std::optional<std::string> caption, folder, project, mandatory, func;
  std::vector<RecordedOutput> outputs;
};

struct DefinitionRecords {
  std::string problem;  // why the document could not be read, or empty
  int problem_line = 0;
  std::optional<std::string> directory;  // the standard directory as written (backslashes turned)
  int directory_line = 0;
  int directory_count = 0;  // XML: how many standard-directory elements
  std::vector<RecordedCase> cases;
};

/// The XML form: the same parse as the loader's (no entities, no network).
DefinitionRecords ReadXmlRecords(const std::string& file);

/// The TXT form, from its text as read: the loader's own patterns.
DefinitionRecords ReadTxtRecords(const std::string& text);

}  // namespace corvala4
