#include "ui/unit_runner_form.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <stdexcept>

#include "corvala4/error.h"
#include "corvala4/unit_tests.h"
#include "tests/window_fixture.h"

namespace corvala4 {
namespace {

class UnitRunnerFormTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearUnitTests(); }
  void TearDown() override { ClearUnitTests(); }
  template <typename T>
  T* Control(const char* name) {
    return testing::Control<T>(form, name);
  }
  QRect Place(const char* name) { return Control<QWidget>(name)->geometry(); }
  QStringList Row(int row) {
    QTreeWidgetItem* item = Control<QTreeWidget>("lvTests")->topLevelItem(row);
    return {item->text(0), item->text(1), item->text(2)};
  }

  frmTestRunner form;
};

TEST_F(UnitRunnerFormTest, TheButtonsKeepToTheCornerAndNeverGoBelowZero) {
  form.show();
  EXPECT_EQ("Form1", form.windowTitle());
  EXPECT_EQ(QSize(708, 403), form.size());
  EXPECT_EQ("Run Tests", Control<QPushButton>("btnRun")->text());
  EXPECT_TRUE(Control<QPushButton>("btnRun")->isDefault());
  EXPECT_EQ("Close", Control<QPushButton>("btnClose")->text());
  // Close flush right, Run 100 twips to its left, the runner 50 twips above them.
  EXPECT_EQ(QRect(627, 370, 81, 33), Place("btnClose"));
  EXPECT_EQ(QRect(539, 370, 81, 33), Place("btnRun"));
  EXPECT_EQ(QRect(0, 0, 708, 367), Place("UnitRunner1"));

  form.resize(100, 20);
  EXPECT_EQ(QRect(19, 0, 81, 33), Place("btnClose"));
  EXPECT_EQ(QRect(0, 0, 81, 33), Place("btnRun"));
  EXPECT_EQ(QRect(0, 0, 100, 0), Place("UnitRunner1"));

  // Wider than a 16-bit count of twips: the layout goes on as below it.
  form.resize(2400, 600);
  EXPECT_EQ(QRect(2319, 567, 81, 33), Place("btnClose"));
  EXPECT_EQ(QRect(0, 0, 2400, 564), Place("UnitRunner1"));
}

TEST_F(UnitRunnerFormTest, RunShowsEachTestsResultAndMessageAndCountsThem) {
  RegisterUnitTest("passes", [] {});
  RegisterUnitTest("std exception", [] { throw std::runtime_error("expected 2, got 3"); });
  RegisterUnitTest("module error", [] { throw Error(53, "S", "找不到文件.<+>细节"); });
  RegisterUnitTest("anything", [] { throw 42; });
  RegisterUnitTest("none", nullptr);
  form.show();
  QMetaObject::invokeMethod(&form, [this] { form.done(QDialog::Rejected); }, Qt::QueuedConnection);
  form.ShowModal();  // lists the tests registered now
  EXPECT_EQ(QStringList({"passes", "", ""}), Row(0));
  EXPECT_EQ("Tests: 5, passed: 0, failed: 0", Control<QLabel>("lblSummary")->text());

  form.show();
  QTest::keyClick(&form, Qt::Key_Return);
  EXPECT_EQ(QStringList({"passes", "Passed", ""}), Row(0));
  EXPECT_EQ(QStringList({"std exception", "Failed", "expected 2, got 3"}), Row(1));
  EXPECT_EQ(QStringList({"module error", "Failed", "找不到文件.<+>细节"}), Row(2));
  EXPECT_EQ(QStringList({"anything", "Failed", "unknown exception (not a std::exception)"}), Row(3));
  EXPECT_EQ(QStringList({"none", "Failed", "no function registered"}), Row(4));
  EXPECT_EQ("Tests: 5, passed: 1, failed: 4", Control<QLabel>("lblSummary")->text());

  // A second run starts afresh.
  QTest::mouseClick(Control<QPushButton>("btnRun"), Qt::LeftButton);
  EXPECT_EQ("Tests: 5, passed: 1, failed: 4", Control<QLabel>("lblSummary")->text());
  QTest::mouseClick(Control<QPushButton>("btnClose"), Qt::LeftButton);
  EXPECT_TRUE(form.isHidden());
}

}  // namespace
}  // namespace corvala4
