#include "model/test_case.h"

#include <locale.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>

#include "foundation/detailed_fso.h"
#include "foundation/errors.h"
#include "foundation/format_msg.h"
#include "foundation/globals.h"
#include "foundation/run_context.h"
#include "model/path_guard.h"
#include "results/output_files.h"
#include "results/test_case_status.h"
#include "settings/global_setting.h"

namespace corvala4 {

TestCase::~TestCase() = default;

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int DigitValue(char c, int base) {
  int d = IsDigit(c)               ? c - '0'
          : (c >= 'a' && c <= 'f') ? c - 'a' + 10
          : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                   : 99;
  return d < base ? d : -1;
}

/// Numbers are read with a point, whatever the process locale says.
locale_t PlainLocale() {
  static locale_t plain = newlocale(LC_ALL_MASK, "C", nullptr);
  return plain;
}

/// The number at the start of the text, as the runtime's Val reads it: blanks, tabs
/// and line feeds anywhere are passed over; &H and &O read hex and octal (four
/// digits' worth wrap to 16 bits, more to 32); no number gives 0.
double ReadNumber(std::string_view text) {
  std::string s;
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\n') s += c;
  auto at = [&](size_t k) { return k < s.size() ? s[k] : '\0'; };
  if (at(0) == '&') {
    char kind = at(1);
    int base = (kind == 'h' || kind == 'H') ? 16 : (kind == 'o' || kind == 'O') ? 8 : 0;
    if (base == 0) return 0;
    uint64_t value = 0;
    for (size_t i = 2; DigitValue(at(i), base) >= 0; ++i) {
      value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(DigitValue(at(i), base));
      if (value > 0xFFFFFFFFu) Raise(err::Overflow);
    }
    if (value <= 0xFFFFu) return static_cast<int16_t>(static_cast<uint16_t>(value));
    return static_cast<int32_t>(static_cast<uint32_t>(value));
  }
  std::string number;
  size_t i = 0;
  size_t digits = 0;
  if (at(i) == '+' || at(i) == '-') number += s[i++];
  for (; IsDigit(at(i)); ++i, ++digits) number += s[i];
  if (at(i) == '.') {
    number += s[i++];
    for (; IsDigit(at(i)); ++i, ++digits) number += s[i];
  }
  if (digits == 0) return 0;
  if (at(i) == 'e' || at(i) == 'E' || at(i) == 'd' || at(i) == 'D') {
    std::string exponent = "e";
    size_t j = i + 1;
    if (at(j) == '+' || at(j) == '-') exponent += s[j++];
    size_t expDigits = 0;
    for (; IsDigit(at(j)); ++j, ++expDigits) exponent += s[j];
    if (expDigits > 0) number += exponent;
  }
  return strtod_l(number.c_str(), nullptr, PlainLocale());
}

}  // namespace

int16_t ReadFuncNum(std::string_view text) {
  // nearbyint rounds halves to even in the default rounding mode.
  double rounded = std::nearbyint(ReadNumber(text));
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) Raise(err::Overflow);
  return static_cast<int16_t>(rounded);
}

TestCaseImpl::TestCaseImpl() = default;
TestCaseImpl::~TestCaseImpl() = default;

int16_t TestCaseImpl::FuncNum() const { return ReadFuncNum(func_num_text_); }

std::shared_ptr<OutputFiles> TestCaseImpl::OutputFiles() {
  if (!output_files_) output_files_ = std::make_shared<corvala4::OutputFiles>();
  return output_files_;
}

TestCaseStatus& TestCaseImpl::Status() {
  if (!status_) {
    status_ = std::make_unique<TestCaseStatus>();
    status_->Attach(*this);
  }
  return *status_;
}

RunContext& TestCaseImpl::Context() const {
  if (!owner_) Raise(err::ObjectNotSet);
  return *owner_;
}

std::string TestCaseImpl::StandardFolder() const {
  return FSO().BuildPath(Context().StandardFolder(), folder_);
}

bool TestCaseImpl::StandardFolderExists() const { return FSO().FolderExists(StandardFolder()); }

std::string TestCaseImpl::TestCaseFolder() const { return FSO().BuildPath(Context().WorkFolder(), folder_); }

std::string TestCaseImpl::ProjectFile() const {
  return FSO().BuildPath(TestCaseFolder(), project_file_name_);
}

std::string TestCaseImpl::PassMarkerFile() const {
  std::string name = FormatMsg("%0_%1_%2_Passed.txt", FSO().GetBaseName(Context().HostEXE()),
                               FSO().GetBaseName(project_file_name_), FuncNum());
  return FSO().BuildPath(StandardFolder(), name);
}

bool TestCaseImpl::Passed() { return Status().Passed(); }

void TestCaseImpl::SetPassed(bool value) { Status().SetPassed(value); }

void TestCaseImpl::UpdateStatus(bool record) { Status().UpdateStatus(record); }

std::string TestCaseImpl::DisplayCaption() {
  std::string text = caption_;
  if (mandatory_) text += "(必测)";
  if (Passed()) text += "(通过)";
  if (!StandardFolderExists()) text += "(缺失)";
  return text;
}

void TestCaseImpl::PrepareTestFolder() {
  std::string standard = StandardFolder();
  // Copying writes into the working folder: it must not lead out of the working directory.
  if (!StaysInside(folder_)) RaiseUnsafePath(FSO().BuildPath(Context().StandardFolder() + "_make", folder_));
  // A missing case folder is told as such before anything is created: making the work
  // directory first would report a standard directory that does not exist as its own failure.
  if (!FSO().FolderExists(standard)) {
    throw Error(CaseFolderMissingError, "",
                FormatMsg("算例文件夹'%0'不存在!\r\n请检查此文件夹与'%1'中的算例文件夹是否对应.", standard,
                          Context().DefinitionFile()));
  }
  std::string work = Context().WorkFolder();
  std::string target = FSO().BuildPath(work, folder_);
  RequireInside(work, folder_, target, true);
  FSO().CopyFolder(standard, target, true);
  for (const std::shared_ptr<OutputFile>& file : *OutputFiles())
    if (!file->Keep()) file->DeleteOutput();
}

void TestCaseImpl::RemoveTestFolder() {
  std::string work = Context().WorkFolder();
  std::string path = FSO().BuildPath(work, folder_);
  RequireInside(work, folder_, path, false);
  // The facade's forced delete goes depth first, takes read-only entries too, and
  // removes a link (the folder itself included) as a link, never what it points to.
  if (FSO().FolderExists(path)) FSO().DeleteFolder(path, true);
}

void TestCaseImpl::CompareWithTool() { Setting().RunCompareTool(TestCaseFolder(), StandardFolder()); }

void TestCaseImpl::Attach(RunContext& tester) {
  owner_ = &tester;
  Status();
  status_->Attach(*this);
}

void TestCaseImpl::Detach() {
  if (output_files_) output_files_->Clear();
  if (status_) status_->Detach();
  owner_ = nullptr;
}

}  // namespace corvala4
