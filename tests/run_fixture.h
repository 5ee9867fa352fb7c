// A tester over real cases in a temporary folder, with a scripted user interface and a
// recording host, for the tests of runs and of the windows that start them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "corvala4/tester.h"
#include "engine/tester_core.h"
#include "foundation/globals.h"
#include "model/test_case.h"
#include "model/test_cases.h"
#include "tests/test_support.h"

namespace corvala4::testing {

class RunFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(host_exe, "binary");
    tester.SetHostEXE(host_exe);
    tester.Subscribe(host);
  }
  void TearDown() override {
    if (G().CurrentTester == &core()) core().CloseContext();
  }
  TesterCore& core() { return TesterCore::Of(tester); }

  /// Cases by caption, in order, each with the project and the standard output "r.out"
  /// holding "ok\n". A trailing "!" makes a case mandatory, "+" adds the kept output
  /// "m.dat", "#" leaves it without outputs, "-" leaves out its folder.
  void Define(const std::vector<std::string>& specs) {
    std::string xml = "<自测试配置><自测试标准目录>TestData</自测试标准目录>";
    for (std::string caption : specs) {
      bool mandatory = false, kept = false, outputs = true, missing = false;
      for (; !caption.empty() && std::strchr("!+#-", caption.back()); caption.pop_back()) {
        mandatory |= caption.back() == '!';
        kept |= caption.back() == '+';
        outputs &= caption.back() != '#';
        missing |= caption.back() == '-';
      }
      xml += "<自测试算例 名称=\"" + caption + "\" 目录=\"" + caption + "\" 工程文件=\"p.prj\" 必测=\"" +
             (mandatory ? "y" : "n") + "\" 功能代号=\"1\">" +
             (outputs ? "<输出文件 保留=\"n\">r.out</输出文件>" : "") +
             (kept ? "<输出文件 保留=\"y\">m.dat</输出文件>" : "") + "</自测试算例>";
      if (missing) continue;
      std::string folder = env.dir() / ("TestData/" + caption);
      WriteFile(folder + "/p.prj", "ok\n");
      if (outputs) WriteFile(folder + "/r.out", "ok\n");
      if (kept) WriteFile(folder + "/m.dat", "material");
    }
    WriteFile(env.dir() / "CALC_TEST_DAT.XML", xml + "</自测试配置>");
  }
  /// Opens the context as an entry operation does and loads the cases.
  void Open(bool showUI = true) {
    core().SetShowUI(showUI);
    core().OpenContext();
    core().LoadDefinition();
  }
  /// Writes the pass markers of the cases at these 1-based positions.
  void Pass(std::initializer_list<int> positions) {
    for (int i : positions) core().TestCases()->At(i)->SetPassed(true);
  }
  /// The captions of the cases the host calculated, in order.
  std::vector<std::string> Calculated() {
    std::vector<std::string> captions;
    for (const std::string& seen : host.Seen())
      if (seen.rfind("DoTest(", 0) == 0) captions.push_back(seen.substr(7, seen.size() - 8));
    return captions;
  }

  IsolatedEnvironment env;
  ScopedScriptedUI ui;
  std::string host_exe = env.dir() / "calc";
  Tester tester;
  RecordingHost host{*ui, tester};
};

}  // namespace corvala4::testing
