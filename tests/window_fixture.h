// What the window tests share: a tester whose context is open over real cases in a
// temporary folder, and a way to act on a modal window once it is up.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "corvala4/tester.h"
#include "engine/tester_core.h"
#include "foundation/globals.h"
#include "model/test_case.h"
#include "model/test_cases.h"
#include "tests/test_support.h"

namespace corvala4::testing {

class WindowFixture : public ::testing::Test {
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

  /// Cases by caption, in order: a trailing "!" makes one mandatory, "-" leaves out its
  /// folder, "#" gives it no output file.
  void Define(const std::vector<std::string>& specs) {
    std::string xml = "<自测试配置><自测试标准目录>TestData</自测试标准目录>";
    for (std::string caption : specs) {
      bool mandatory = false, missing = false, outputs = true;
      for (; !caption.empty() && std::strchr("!-#", caption.back()); caption.pop_back()) {
        mandatory |= caption.back() == '!';
        missing |= caption.back() == '-';
        outputs &= caption.back() != '#';
      }
      xml += "<自测试算例 名称=\"" + caption + "\" 目录=\"" + caption + "\" 工程文件=\"p.prj\" 必测=\"" +
             (mandatory ? "y" : "n") + "\" 功能代号=\"1\">" +
             (outputs ? "<输出文件 保留=\"n\">r.out</输出文件><输出文件 保留=\"y\">m.dat</输出文件>" : "") +
             "</自测试算例>";
      if (missing) continue;
      WriteFile(env.dir() / ("TestData/" + caption + "/p.prj"), "ok\n");  // the host's output
      if (outputs) {
        WriteFile(env.dir() / ("TestData/" + caption + "/r.out"), "ok\n");
        WriteFile(env.dir() / ("TestData/" + caption + "/m.dat"), "material");
      }
    }
    WriteFile(env.dir() / "CALC_TEST_DAT.XML", xml + "</自测试配置>");
  }
  /// Opens the context as an entry operation with a user interface does, and loads the cases.
  void Open() {
    core().SetShowUI(true);
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

/// Runs act on the next modal window that comes up (a dialog's exec() or a message
/// box), from the event loop that window runs. Call it before the call that opens it.
inline void WhenModal(std::function<void(QWidget*)> act) {
  // Watched, not compared by address: the next box may take the place of the last.
  QPointer<QWidget> before = QApplication::activeModalWidget();
  auto* timer = new QTimer;
  auto ticks = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, before, act, ticks] {
    QWidget* modal = QApplication::activeModalWidget();
    bool up = modal && modal != before && modal->isVisible();
    if (!up && ++*ticks < 2000) return;
    timer->stop();
    timer->deleteLater();
    if (up)
      act(modal);
    else
      ADD_FAILURE() << "no modal window came up";
  });
  timer->start(5);
}

/// Answers the next `count` message boxes, one after another, with Return; their texts
/// are added to `texts`.
inline void AnswerBoxes(int count, QStringList* texts) {
  if (count <= 0) return;
  WhenModal([count, texts](QWidget* box) {
    if (auto* message = qobject_cast<QMessageBox*>(box)) *texts << message->text();
    AnswerBoxes(count - 1, texts);
    QTest::keyClick(box, Qt::Key_Return);
  });
}

}  // namespace corvala4::testing
