#include "engine/txt_loader.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/definition_paths.h"
#include "engine/definition_records.h"
#include "engine/tester_core.h"
#include "foundation/create_object.h"
#include "foundation/detailed_fso.h"
#include "foundation/errors.h"
#include "foundation/globals.h"
#include "foundation/platform/regexp.h"
#include "foundation/text.h"
#include "model/test_case.h"
#include "model/test_cases.h"
#include "results/output_file.h"
#include "results/output_files.h"

namespace corvala4 {

namespace {

// The directory, ";", a description of at least one character, a line feed.
constexpr const char* kDirectoryPattern = R"(^([^/\n;]*);[^;\n]+\n)";

// Name, folder, project, mandatory, function code, outputs; a record starts right
// after a line feed and ends at the ";" after its output list.
const std::string kRecordPattern =
    std::string(R"(\n([\t \n]*[^/,;\n]+)(?:[\r\n\t ]*),)") + R"([\t \n]*([^/,;\t\n]+)(?:[\r\n\t ]*),)" +
    R"([\t \n]*([^/,;\n]+)(?:[\r\n\t ]*),)" + R"([\t \n]*([^/,;\n]+)(?:[\r\n\t ]*),)" +
    R"([\t \n]*([^/,;\n]+)(?:[\r\n\t ]*),)" + R"([\t \n]*([^/;]+)(?:[\r\n\t ]*);)";

/// Every occurrence, left to right, without looking again at what the removal joins.
std::string RemoveAll(const std::string& text, const std::string& what) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (true) {
    size_t hit = text.find(what, pos);
    if (hit == std::string::npos) break;
    out.append(text, pos, hit - pos);
    pos = hit + what.size();
  }
  out.append(text, pos, std::string::npos);
  return out;
}

/// The output list cut at every ","; line breaks written as CR LF and tabs go.
std::vector<std::string> OutputItems(const std::string& list) {
  std::vector<std::string> items;
  size_t pos = 0;
  while (true) {
    size_t cut = list.find(',', pos);
    std::string piece =
        SlashPath(std::string_view(list).substr(pos, cut == std::string::npos ? cut : cut - pos));
    items.push_back(Trim(RemoveAll(RemoveAll(piece, "\r\n"), "\t")));
    if (cut == std::string::npos) break;
    pos = cut + 1;
  }
  return items;
}

/// A lone line feed becomes CR LF, so that a file written with this platform's line ends
/// means what its CR LF twin means: a blank line never joins a case name, and a line break
/// inside an output list is removed with the CR LF pairs.
std::string CrLfLineEnds(std::string text) {
  size_t lone = 0;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) ++lone;
  if (lone == 0) return text;
  std::string out;
  out.reserve(text.size() + lone);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

bool IsYes(const std::string& field) { return field == "y" || field == "Y"; }

std::string Group(const RegExp::Match& match, size_t n) {
  return n < match.SubMatches.size() && match.SubMatches[n] ? *match.SubMatches[n] : std::string();
}

}  // namespace

void LoadTxtDefinition(TesterCore& tester) {
  std::string text;
  std::unique_ptr<TextStream> stream =
      FSO().OpenTextFile(tester.DefinitionFile(), ForReading, false, TristateFalse);
  if (!stream->AtEndOfStream()) text = CrLfLineEnds(stream->ReadAll());
  stream->Close();

  std::shared_ptr<RegExp> re = std::dynamic_pointer_cast<RegExp>(CreateObjectEx("vbscript.regexp"));
  if (!re) Raise(err::ObjectNotSet);
  re->Global = false;
  re->Multiline = true;
  re->Pattern = kDirectoryPattern;
  std::vector<RegExp::Match> directory = re->Execute(text);
  if (directory.empty())
    tester.SetStandardFolder("");
  else
    tester.SetStandardFolder(ResolveStandardFolder(tester, SlashPath(Group(directory.front(), 0))));

  re->Pattern = kRecordPattern;
  re->Global = true;
  std::vector<RegExp::Match> records = re->Execute(text);

  std::shared_ptr<TestCasesImpl> cases = tester.TestCases();
  cases->Clear();
  for (const RegExp::Match& record : records) {
    auto tc = std::make_shared<TestCaseImpl>();
    tc->Attach(tester);
    tc->SetCaption(Group(record, 0));
    tc->SetFolder(SlashPath(Group(record, 1)));
    tc->SetProjectFileName(SlashPath(Group(record, 2)));
    tc->SetMandatory(IsYes(Group(record, 3)));
    tc->SetFuncNumText(Group(record, 4));
    for (const std::string& item : OutputItems(Group(record, 5))) {
      auto file = std::make_shared<OutputFile>();
      file->InitFromText(*tc, item);
      tc->OutputFiles()->Add(std::move(file));
    }
    cases->Add(std::move(tc));
  }
}

namespace {

int LineAt(const std::string& text, size_t offset) {
  return 1 +
         static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

}  // namespace

DefinitionRecords ReadTxtRecords(const std::string& raw) {
  DefinitionRecords records;
  std::string text = CrLfLineEnds(raw);
  RegExp re;
  re.Multiline = true;
  re.Pattern = kDirectoryPattern;
  std::vector<RegExp::Match> directory = re.Execute(text);
  if (!directory.empty()) {
    records.directory = SlashPath(Group(directory.front(), 0));
    records.directory_line =
        LineAt(text, directory.front().FirstIndex + (text[directory.front().FirstIndex] == '\n'));
    records.directory_count = 1;
  }
  re.Pattern = kRecordPattern;
  re.Global = true;
  for (const RegExp::Match& record : re.Execute(text)) {
    RecordedCase c;
    std::string caption = Group(record, 0);
    // The record starts after its line feed; a caption may begin with blank lines of its own.
    size_t start = record.FirstIndex + 1 + caption.find_first_not_of("\t \n");
    c.line = LineAt(text, std::min(start, text.size()));
    c.caption = caption;
    c.folder = SlashPath(Group(record, 1));
    c.project = SlashPath(Group(record, 2));
    c.mandatory = Group(record, 3);
    c.func = Group(record, 4);
    for (const std::string& item : OutputItems(Group(record, 5))) {
      RecordedOutput o;
      o.line = c.line;
      std::string name = Trim(item);
      bool kept = name.size() >= 2 && name.front() == '<' && name.back() == '>';
      o.name = kept ? name.substr(1, name.size() - 2) : name;
      o.keep = kept ? "y" : "n";
      c.outputs.push_back(std::move(o));
    }
    records.cases.push_back(std::move(c));
  }
  return records;
}

}  // namespace corvala4
