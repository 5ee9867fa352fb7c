#include "foundation/errors.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "corvala4/tester.h"
#include "engine/tester_core.h"
#include "foundation/create_object.h"
#include "foundation/globals.h"
#include "tests/test_support.h"

namespace corvala4 {
namespace {

TEST(ErrorsTest, SummaryAndDetailFollowTheSeparator) {
  EXPECT_EQ("<+>", ErrDetailSep());
  Error one(53, "S", "A<+>B");
  EXPECT_EQ("A", ErrSummaryText(one));
  EXPECT_EQ("错误 53\r\n位置 S\r\n描述 B\r\n", ErrDetailText(one));
  Error two(53, "S", "A<+>B<+>C");
  EXPECT_EQ("A", ErrSummaryText(two));
  EXPECT_EQ("错误 53\r\n位置 S\r\n描述 B\r\n", ErrDetailText(two));
  Error plain(53, "S", "D");
  EXPECT_EQ("D", ErrSummaryText(plain));
  EXPECT_EQ("错误 53\r\n位置 S\r\n描述 D\r\n", ErrDetailText(plain));
  Error empty(5, "", "");
  EXPECT_EQ("", ErrSummaryText(empty));
  EXPECT_EQ("错误 5\r\n位置 \r\n描述 \r\n", ErrDetailText(empty));
}

TEST(ErrorsTest, ModuleNumbersAreSignedDecimal) {
  EXPECT_EQ(-2147220991, CaseFolderMissingError);
  EXPECT_EQ(-2147220990, CancelError);
  EXPECT_EQ("错误 -2147220991\r\n位置 \r\n描述 x\r\n", ErrDetailText(Error(CaseFolderMissingError, "", "x")));
}

TEST(ErrorsTest, ShowErrorIsSilentForCancelAndNoError) {
  testing::IsolatedEnvironment env;
  testing::ScopedScriptedUI ui;
  Tester tester;
  TesterCore::Of(tester).SetShowUI(true);
  G().CurrentTester = &TesterCore::Of(tester);
  ShowError(Error(0, "", "nothing"));
  ShowError(Error(CancelError, "", ""));
  EXPECT_TRUE(ui->errors.empty());
  ShowError(Error(76, "fs", "sum<+>det"));
  ASSERT_EQ(1u, ui->errors.size());
  EXPECT_EQ("sum", ui->errors[0].first);
  EXPECT_EQ("错误 76\r\n位置 fs\r\n描述 det\r\n", ui->errors[0].second);

  // A quiet run never opens the dialog; the failure is logged. Without a tester nothing shows.
  TesterCore::Of(tester).SetShowUI(false);
  ShowError(Error(76, "fs", "quiet<+>det"));
  G().CurrentTester = nullptr;
  ShowError(Error(76, "fs", "nobody<+>det"));
  EXPECT_EQ(1u, ui->errors.size());
  EXPECT_NE(std::string::npos, env.ReadLog().find("Error: quiet | 错误 76 | 位置 fs | 描述 det"));
  EXPECT_EQ(std::string::npos, env.ReadLog().find("nobody"));
}

TEST(ErrorsTest, HostExceptionsBecomeErrors) {
  Error e = ToError(std::make_exception_ptr(std::runtime_error("boom")));
  EXPECT_NE(0, e.Number());
  EXPECT_NE(std::string::npos, e.Description().find("boom"));
  Error odd = ToError(std::make_exception_ptr(42));
  EXPECT_NE(0, odd.Number());
  try {
    Raise(err::ObjectNotSet);
  } catch (const Error& raised) {
    EXPECT_EQ(91, raised.Number());
    EXPECT_EQ(kModuleSource, raised.Source());
    EXPECT_FALSE(raised.Description().empty());
  }
}

class FailingFactory : public ServiceFactory {
 public:
  std::shared_ptr<Service> Create(const std::string& progId) override {
    ++attempts;
    if (attempts < succeed_at) throw Error(429, "factory", "cannot create " + progId);
    return std::make_shared<Service>();
  }
  int attempts = 0;
  int succeed_at = 1000;
};

TEST(ErrorsTest, CreateObjectExAsksRetryOrCancel) {
  testing::ScopedScriptedUI ui;
  auto factory = std::make_shared<FailingFactory>();
  factory->succeed_at = 3;
  SetServiceFactory(factory);
  ui->answers = {kRetry, kRetry};
  EXPECT_NE(nullptr, CreateObjectEx("Scripting.FileSystemObject"));
  EXPECT_EQ(3, factory->attempts);
  ASSERT_EQ(2u, ui->boxes.size());
  EXPECT_EQ(0u, ui->boxes[0].prompt.find("无法创建类Scripting.FileSystemObject的实例.\r\n错误 429\r\n"));
  EXPECT_EQ(kRetryCancel | kCritical, ui->boxes[0].style);

  factory->attempts = 0;
  ui->answers = {kCancel};
  EXPECT_EQ(nullptr, CreateObjectEx("vbscript.regexp"));
  EXPECT_EQ(1, factory->attempts);
  SetServiceFactory(nullptr);
}

}  // namespace
}  // namespace corvala4
