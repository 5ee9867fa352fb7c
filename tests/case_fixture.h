// A tester with an open context over a test-data folder in a temporary directory,
// for the tests of cases, their outputs and their pass records.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <memory>
#include <string>

#include "engine/tester_core.h"
#include "foundation/errors.h"
#include "model/test_case.h"
#include "model/test_cases.h"
#include "results/output_file.h"
#include "results/output_files.h"
#include "tests/test_support.h"

namespace corvala4::testing {

class CaseFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    tester.SetHostEXE(Host("calc"));
    core().OpenContext();
    core().SetStandardFolder(StandardDir());
  }
  void TearDown() override { core().CloseContext(); }
  TesterCore& core() { return TesterCore::Of(tester); }

  std::string Host(const std::string& name) const { return env.dir() / ("host/" + name); }
  std::string StandardDir() const { return env.dir() / "TestData"; }
  std::string WorkDir() const { return env.dir() / "TestData_make"; }
  std::string Std(const std::string& rel) const { return StandardDir() + "/" + rel; }
  std::string Work(const std::string& rel) const { return WorkDir() + "/" + rel; }

  /// A case as a loader makes it: attached to the tester, in its collection, with its output items.
  std::shared_ptr<TestCaseImpl> MakeCase(const std::string& folder,
                                         std::initializer_list<std::string> outputs = {},
                                         const std::string& project = "beam.prj",
                                         const std::string& func = "12") {
    auto tc = std::make_shared<TestCaseImpl>();
    tc->Attach(core());
    tc->SetCaption(folder);
    tc->SetFolder(folder);
    tc->SetProjectFileName(project);
    tc->SetFuncNumText(func);
    for (const std::string& item : outputs) {
      auto file = std::make_shared<OutputFile>();
      file->InitFromText(*tc, item);
      tc->OutputFiles()->Add(file);
    }
    core().TestCases()->Add(tc);
    return tc;
  }

  IsolatedEnvironment env;
  ScopedScriptedUI ui;
  Tester tester;
};

inline std::string WriteText(const std::string& path, const std::string& bytes) {
  WriteFile(path, bytes);
  return path;
}

}  // namespace corvala4::testing
