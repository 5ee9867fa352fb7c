// The C interface as a C host uses it: handles, callbacks, statuses and the last error.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "corvala4/corvala4_c.h"
#include "tests/test_support.h"

namespace corvala4 {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::WriteFile;

struct Host {
  c4_tester* tester = nullptr;
  std::vector<std::string> seen;
  std::vector<std::string> lines;
  // Per caption: the result DoTest returns, and whether it sets Success false.
  std::string fail_with_error, fail_with_success;
  std::string active_in_do_test;
  int32_t selected_in_before_all = -1;
  int inner_status = 0;
  std::string inner_error;
  c4_tester* other = nullptr;
  int self_id = 0;
  bool from_thread = false;
};

std::string Caption(c4_case* tc) {
  const char* text = nullptr;
  EXPECT_EQ(C4_OK, c4_case_caption(tc, &text));
  return text;
}

int CheckCancel(void* user, int* cancel) {
  static_cast<Host*>(user)->seen.push_back(*cancel ? "CheckCancel(set)" : "CheckCancel");
  return 0;
}

int BeforeAllTest(void* user, c4_cases* oc) {
  Host& h = *static_cast<Host*>(user);
  int32_t count = 0;
  c4_cases_count(oc, &count);
  h.seen.push_back("BeforeAllTest(" + std::to_string(count) + ")");
  c4_cases* selected = nullptr;
  c4_tester_selected_cases(h.tester, &selected);
  if (selected) c4_cases_count(selected, &h.selected_in_before_all);
  c4_cases_free(selected);
  return 0;
}

int DoTest(void* user, c4_case* tc) {
  Host& h = *static_cast<Host*>(user);
  std::string caption = Caption(tc);
  h.seen.push_back("DoTest(" + caption + ")");
  c4_case* active = nullptr;
  c4_tester_active_case(h.tester, &active);
  if (active) h.active_in_do_test = Caption(active);
  c4_case_free(active);
  if (h.other) {
    auto inner = [&h] {
      h.inner_status = c4_tester_launch_no_ui(h.other);
      const char* description = nullptr;
      c4_tester_last_error(h.other, nullptr, nullptr, &description);
      h.inner_error = description;
    };
    if (h.from_thread)
      std::thread(inner).join();
    else
      inner();
  }
  const char* folder = nullptr;
  if (c4_case_test_case_folder(tc, &folder) != C4_OK) return 1;
  std::ofstream(std::string(folder) + "/r.out") << "ok\n";
  if (caption == h.fail_with_success) c4_case_set_success(tc, 0);
  if (caption == h.fail_with_error) {
    c4_fail_reason("the solver diverged");
    return 7;
  }
  return 0;
}

int AfterAllTest(void* user, c4_cases*) {
  static_cast<Host*>(user)->seen.push_back("AfterAllTest");
  return 0;
}

void AddMsg(void* user, const char* line) {
  static_cast<Host*>(user)->lines.push_back(line);
}

class CInterfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(host_exe, "binary");
    ASSERT_EQ(C4_OK, c4_tester_new(&host.tester));
    ASSERT_EQ(C4_OK, c4_tester_set_host_exe(host.tester, host_exe.c_str()));
    c4_events events{&host, CheckCancel, BeforeAllTest, nullptr, DoTest, nullptr, AfterAllTest};
    ASSERT_EQ(C4_OK, c4_tester_subscribe(host.tester, &events, &events_id));
    c4_progress progress{&host, AddMsg, nullptr};
    ASSERT_EQ(C4_OK, c4_tester_subscribe_progress(host.tester, &progress, nullptr));
  }
  void TearDown() override { c4_tester_free(host.tester); }

  /// Cases by caption, each with the project p.prj and the standard output r.out; "!" marks mandatory.
  void Define(const std::vector<std::string>& captions) {
    std::string xml = "<自测试配置><自测试标准目录>TestData</自测试标准目录>";
    for (std::string caption : captions) {
      bool mandatory = caption.back() == '!';
      if (mandatory) caption.pop_back();
      xml += "<自测试算例 名称=\"" + caption + "\" 目录=\"" + caption + "\" 工程文件=\"p.prj\" 必测=\"" +
             (mandatory ? "y" : "n") + "\" 功能代号=\"1\"><输出文件 保留=\"n\">r.out</输出文件></自测试算例>";
      WriteFile(env.dir() / ("TestData/" + caption + "/p.prj"), "");
      WriteFile(env.dir() / ("TestData/" + caption + "/r.out"), "ok\n");
    }
    WriteFile(env.dir() / "CALC_TEST_DAT.XML", xml + "</自测试配置>");
  }
  bool Marker(const std::string& caption) {
    return Exists(env.dir() / ("TestData/" + caption + "/calc_p_1_Passed.txt"));
  }
  std::string Record() { return ReadFile(env.dir() / "calc_Test_Ver.txt"); }
  std::string LastError(int32_t* number = nullptr, std::string* source = nullptr) {
    const char *s = nullptr, *d = nullptr;
    c4_tester_last_error(host.tester, number, &s, &d);
    if (source) *source = s;
    return d;
  }

  testing::IsolatedEnvironment env;
  std::string host_exe = env.dir() / "calc";
  Host host;
  int events_id = 0;
};

TEST_F(CInterfaceTest, AQuietRunThroughTheCallbacks) {
  Define({"A!", "B"});
  ASSERT_EQ(C4_OK, c4_tester_launch_no_ui(host.tester));
  EXPECT_EQ(
      (std::vector<std::string>{"BeforeAllTest(2)", "CheckCancel", "CheckCancel", "DoTest(A)", "CheckCancel",
                                "CheckCancel", "DoTest(B)", "CheckCancel", "AfterAllTest"}),
      host.seen);
  EXPECT_EQ(2, host.selected_in_before_all);
  EXPECT_EQ("B", host.active_in_do_test);
  EXPECT_TRUE(Marker("A"));
  EXPECT_TRUE(Marker("B"));
  std::string record = Record();
  EXPECT_EQ(1, std::count(record.begin(), record.end(), '\n'));
  EXPECT_EQ(1, std::count(host.lines.begin(), host.lines.end(), "[1/2]开始测试算例'A' ..."));

  // Outside a run: nothing selected or active, the collection empty again.
  c4_cases* cases = nullptr;
  c4_case* active = nullptr;
  ASSERT_EQ(C4_OK, c4_tester_selected_cases(host.tester, &cases));
  EXPECT_EQ(nullptr, cases);
  ASSERT_EQ(C4_OK, c4_tester_active_case(host.tester, &active));
  EXPECT_EQ(nullptr, active);
  ASSERT_EQ(C4_OK, c4_tester_test_cases(host.tester, &cases));
  int32_t count = -1;
  EXPECT_EQ(C4_OK, c4_cases_count(cases, &count));
  EXPECT_EQ(0, count);
  c4_cases_free(cases);

  const char* text = nullptr;
  ASSERT_EQ(C4_OK, c4_tester_host_exe(host.tester, &text));
  EXPECT_EQ(host_exe, text);
  int major = -1;
  c4_version(&major, nullptr, nullptr);
  EXPECT_EQ(CORVALA4_VERSION_MAJOR, major);
  EXPECT_STREQ(CORVALA4_VERSION_TEXT, c4_version_text());
}

TEST_F(CInterfaceTest, AFailingCalculationEndsOnlyItsCase) {
  Define({"A!", "B!", "C"});
  // A passed before; this time its calculation fails and must not keep the pass.
  ASSERT_EQ(C4_OK, c4_tester_launch_no_ui(host.tester));
  ASSERT_TRUE(Marker("A"));
  std::string record = Record();
  host.seen.clear();
  host.fail_with_error = "A";
  host.fail_with_success = "B";
  ASSERT_EQ(C4_OK, c4_tester_launch_no_ui(host.tester));
  EXPECT_FALSE(Marker("A"));
  EXPECT_FALSE(Marker("B"));
  EXPECT_TRUE(Marker("C"));
  EXPECT_EQ(1, std::count(host.seen.begin(), host.seen.end(), "DoTest(C)"));
  EXPECT_EQ(record, Record());
  std::string log = env.ReadLog();
  EXPECT_NE(std::string::npos, log.find("the solver diverged")) << log;
  EXPECT_NE(std::string::npos, log.find("错误 7 | 位置 DoTest")) << log;
}

TEST_F(CInterfaceTest, FailuresLeaveTheirErrorWithTheTester) {
  // A host whose folder does not exist: the version record cannot be written.
  ASSERT_EQ(C4_OK, c4_tester_set_host_exe(host.tester, (env.dir() / "gone/calc").c_str()));
  EXPECT_EQ(C4_E_FAILED, c4_tester_launch_no_ui(host.tester));
  int32_t number = 0;
  std::string description = LastError(&number);
  EXPECT_NE(0, number);
  EXPECT_NE(std::string::npos, description.find("gone")) << description;
  // The tester is usable again afterwards.
  ASSERT_EQ(C4_OK, c4_tester_set_host_exe(host.tester, host_exe.c_str()));
  Define({"A!"});
  EXPECT_EQ(C4_OK, c4_tester_launch_no_ui(host.tester));

  // Errors of the cases land in their tester too.
  c4_cases* cases = nullptr;
  ASSERT_EQ(C4_OK, c4_tester_test_cases(host.tester, &cases));
  c4_case* tc = nullptr;
  EXPECT_EQ(C4_E_FAILED, c4_cases_item(cases, 1, &tc));
  EXPECT_EQ(nullptr, tc);
  LastError(&number);
  EXPECT_EQ(9, number);
  c4_cases_free(cases);

  EXPECT_EQ(C4_E_ARGUMENT, c4_tester_set_host_exe(host.tester, nullptr));
  EXPECT_EQ(C4_E_ARGUMENT, c4_tester_launch(nullptr));
  EXPECT_EQ(C4_E_ARGUMENT, c4_case_caption(nullptr, nullptr));
  EXPECT_EQ(C4_E_FAILED, c4_tester_unsubscribe(host.tester, 999));
}

TEST_F(CInterfaceTest, AnotherEntryOperationDuringARunIsRefused) {
  Define({"A!"});
  // From inside DoTest: the same tester, another one, and another one on another thread
  // (which a host whose language releases its lock during the call may do).
  for (int way : {0, 1, 2}) {
    c4_tester* other = nullptr;
    if (way > 0) {
      ASSERT_EQ(C4_OK, c4_tester_new(&other));
      c4_tester_set_host_exe(other, host_exe.c_str());
    }
    host.other = way == 0 ? host.tester : other;
    host.from_thread = way == 2;
    host.inner_status = 0;
    ASSERT_EQ(C4_OK, c4_tester_launch_no_ui(host.tester));
    EXPECT_EQ(C4_E_RUNNING, host.inner_status);
    EXPECT_EQ("测试已经在执行了!", host.inner_error);
    EXPECT_EQ(1, std::count(host.seen.begin(), host.seen.end(), "DoTest(A)"));
    EXPECT_TRUE(Marker("A"));
    host.seen.clear();
    c4_tester_free(other);
  }
}

int UnsubscribeInDoTest(void* user, c4_case*) {
  Host& h = *static_cast<Host*>(user);
  h.seen.push_back("self-removing");
  return c4_tester_unsubscribe(h.tester, h.self_id);
}

TEST_F(CInterfaceTest, AHandlerLeavesDuringItsOwnEvent) {
  Define({"A", "B"});
  ASSERT_EQ(C4_OK, c4_tester_unsubscribe(host.tester, events_id));
  c4_events events{&host, nullptr, nullptr, nullptr, UnsubscribeInDoTest, nullptr, nullptr};
  ASSERT_EQ(C4_OK, c4_tester_subscribe(host.tester, &events, &host.self_id));
  EXPECT_NE(events_id, host.self_id);
  ASSERT_EQ(C4_OK, c4_tester_launch_no_ui(host.tester));
  EXPECT_EQ(std::vector<std::string>{"self-removing"}, host.seen);
}

int PassingUnitTest(void*) {
  return 0;
}
int FailingUnitTest(void* user) {
  c4_fail_reason(static_cast<const char*>(user));
  return 3;
}

TEST(CInterfaceUnitTests, RegisteredTestsRunWithTheirMessages) {
  c4_clear_unit_tests();
  ASSERT_EQ(C4_OK, c4_register_unit_test("passes", PassingUnitTest, nullptr));
  ASSERT_EQ(C4_OK, c4_register_unit_test("fails", FailingUnitTest, const_cast<char*>("qL²/8 should be 25")));
  ASSERT_EQ(2u, c4_unit_test_count());
  int passed = -1;
  const char *name = nullptr, *message = nullptr;
  ASSERT_EQ(C4_OK, c4_run_unit_test(0, &passed, &name, &message));
  EXPECT_EQ(1, passed);
  EXPECT_STREQ("", message);
  ASSERT_EQ(C4_OK, c4_run_unit_test(1, &passed, &name, &message));
  EXPECT_EQ(0, passed);
  EXPECT_STREQ("fails", name);
  EXPECT_STREQ("qL²/8 should be 25", message);
  EXPECT_EQ(C4_E_FAILED, c4_run_unit_test(2, &passed, nullptr, nullptr));
  int32_t number = 0;
  c4_tester_last_error(nullptr, &number, nullptr, nullptr);
  EXPECT_EQ(9, number);
  c4_clear_unit_tests();
  EXPECT_EQ(0u, c4_unit_test_count());
}

}  // namespace
}  // namespace corvala4
