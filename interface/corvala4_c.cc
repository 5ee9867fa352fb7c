// The C interface: handles around the C++ classes, every exception turned into a status
// and the error kept where the host can read it.
#include "corvala4/corvala4_c.h"

#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "corvala4/tester.h"
#include "corvala4/unit_tests.h"
#include "corvala4/version.h"
#include "engine/tester_core.h"
#include "foundation/errors.h"

namespace {

using corvala4::Error;

struct ErrorSlot {
  int32_t number = 0;
  std::string source;
  std::string description;
};
using SharedSlot = std::shared_ptr<ErrorSlot>;

ErrorSlot& ThreadSlot() {
  thread_local ErrorSlot slot;
  return slot;
}

// What a failing callback says about itself; set just before it returns.
std::string& FailReason() {
  thread_local std::string reason;
  return reason;
}

void Keep(ErrorSlot& slot, const Error& e) {
  slot.number = e.Number();
  slot.source = e.Source();
  slot.description = e.Description();
}

/// Runs fn, turning whatever it throws into a status and an error in slot.
template <typename Fn>
int Guard(ErrorSlot& slot, Fn&& fn) noexcept {
  try {
    return fn();
  } catch (const std::bad_alloc&) {
    try {
      Keep(slot, corvala4::ToError(std::current_exception()));
    } catch (...) {
    }
    return C4_E_MEMORY;
  } catch (...) {
    try {
      Keep(slot, corvala4::ToError(std::current_exception()));
    } catch (...) {
    }
    return C4_E_FAILED;
  }
}

/// The error a callback's nonzero result stands for.
[[noreturn]] void RaiseCallbackFailure(const char* event, int result) {
  std::string reason = FailReason();
  if (reason.empty()) reason = std::string(event) + " returned " + std::to_string(result);
  throw Error(result, event, reason);
}

}  // namespace

struct c4_case {
  std::shared_ptr<corvala4::TestCase> tc;
  SharedSlot error;
  std::string text;
};

struct c4_cases {
  std::shared_ptr<corvala4::TestCases> cases;
  SharedSlot error;
};

namespace {

class EventsAdapter;
class ProgressAdapter;

}  // namespace

struct c4_tester {
  corvala4::Tester tester;
  SharedSlot error = std::make_shared<ErrorSlot>();
  std::string text;
  int next_id = 1;
  std::vector<std::pair<int, std::unique_ptr<EventsAdapter>>> events;
  std::vector<std::pair<int, std::unique_ptr<ProgressAdapter>>> progress;
  // Unsubscribed while one of their callbacks may still run: freed with the tester.
  std::vector<std::unique_ptr<corvala4::TesterEvents>> retired_events;
  std::vector<std::unique_ptr<corvala4::ProgressEvents>> retired_progress;
  int busy = 0;        // entry operations of this tester in progress
  bool freed = false;  // c4_tester_free came while busy
};

namespace {

/// An owning pointer to the case the module hands to an event: the run's own, found as
/// the active case (or among the selected ones); else one that lives for the call only.
std::shared_ptr<corvala4::TestCase> Owning(corvala4::Tester& tester, corvala4::TestCase& tc) {
  std::shared_ptr<corvala4::TestCase> active = tester.ActiveCase();
  if (active.get() == &tc) return active;
  if (auto selected = tester.SelectedCases())
    for (const auto& each : *selected)
      if (each.get() == &tc) return each;
  return std::shared_ptr<corvala4::TestCase>(std::shared_ptr<void>(), &tc);
}

std::shared_ptr<corvala4::TestCases> Owning(corvala4::Tester& tester, corvala4::TestCases& oc) {
  std::shared_ptr<corvala4::TestCases> selected = tester.SelectedCases();
  if (selected.get() == &oc) return selected;
  return std::shared_ptr<corvala4::TestCases>(std::shared_ptr<void>(), &oc);
}

class EventsAdapter : public corvala4::TesterEvents {
 public:
  EventsAdapter(c4_tester& owner, const c4_events& events) : owner_(owner), e_(events) {}

  void CheckCancel(bool& Cancel) override {
    if (!e_.check_cancel) return;
    int cancel = Cancel ? 1 : 0;
    FailReason().clear();
    int result = e_.check_cancel(e_.user, &cancel);
    if (result != 0) RaiseCallbackFailure("CheckCancel", result);
    Cancel = cancel != 0;
  }
  void BeforeAllTest(corvala4::TestCases& oc) override { Cases("BeforeAllTest", e_.before_all_test, oc); }
  void BeforeOneTest(corvala4::TestCase& tc) override { Case("BeforeOneTest", e_.before_one_test, tc); }
  void DoTest(corvala4::TestCase& tc) override { Case("DoTest", e_.do_test, tc); }
  void AfterOneTest(corvala4::TestCase& tc) override { Case("AfterOneTest", e_.after_one_test, tc); }
  void AfterAllTest(corvala4::TestCases& oc) override { Cases("AfterAllTest", e_.after_all_test, oc); }

 private:
  void Case(const char* event, int (*fn)(void*, c4_case*), corvala4::TestCase& tc) {
    if (!fn) return;
    c4_case handle{Owning(owner_.tester, tc), owner_.error, {}};
    FailReason().clear();
    int result = fn(e_.user, &handle);
    if (result == 0) return;
    // A calculation that failed is never a pass, whatever the outputs say.
    if (std::string(event) == "DoTest") tc.SetSuccess(false);
    RaiseCallbackFailure(event, result);
  }
  void Cases(const char* event, int (*fn)(void*, c4_cases*), corvala4::TestCases& oc) {
    if (!fn) return;
    c4_cases handle{Owning(owner_.tester, oc), owner_.error};
    FailReason().clear();
    int result = fn(e_.user, &handle);
    if (result != 0) RaiseCallbackFailure(event, result);
  }

  c4_tester& owner_;
  c4_events e_;
};

class ProgressAdapter : public corvala4::ProgressEvents {
 public:
  explicit ProgressAdapter(const c4_progress& p) : p_(p) {}
  void AddMsg(const std::string& msg) override {
    if (p_.add_msg) p_.add_msg(p_.user, msg.c_str());
  }
  void Clear() override {
    if (p_.clear) p_.clear(p_.user);
  }

 private:
  c4_progress p_;
};

int Text(std::string& store, std::string value, const char** out) {
  store = std::move(value);
  *out = store.c_str();
  return C4_OK;
}

// The module runs on one thread at a time. A host in a language that lets other threads
// run meanwhile (Python releases its lock in every call) may call from two: an operation
// from another thread while one runs is refused as a second one from the same thread is.
std::mutex entry_mutex;
std::thread::id entry_thread;
int entry_depth = 0;

bool EnterThread() {
  std::lock_guard<std::mutex> lock(entry_mutex);
  if (entry_depth > 0 && entry_thread != std::this_thread::get_id()) return false;
  entry_thread = std::this_thread::get_id();
  ++entry_depth;
  return true;
}

void LeaveThread() {
  std::lock_guard<std::mutex> lock(entry_mutex);
  --entry_depth;
}

int Refused(ErrorSlot& slot) {
  Keep(slot, Error(corvala4::err::InvalidProcedureCall, corvala4::kModuleSource, "测试已经在执行了!"));
  return C4_E_RUNNING;
}

using Operation = corvala4::EntryOutcome (corvala4::TesterCore::*)();

int Entry(c4_tester* t, Operation op) {
  if (!t) return C4_E_ARGUMENT;
  if (!EnterThread()) return Refused(*t->error);
  ++t->busy;
  int status = Guard(*t->error, [&] {
    corvala4::EntryOutcome outcome = (corvala4::TesterCore::Of(t->tester).*op)();
    if (outcome.refused) return Refused(*t->error);
    if (outcome.failure) {
      Keep(*t->error, *outcome.failure);
      return C4_E_FAILED;
    }
    return C4_OK;
  });
  LeaveThread();
  if (--t->busy == 0 && t->freed) c4_tester_free(t);
  return status;
}

}  // namespace

extern "C" {

void c4_version(int* major, int* minor, int* patch) {
  if (major) *major = corvala4::kVersionMajor;
  if (minor) *minor = corvala4::kVersionMinor;
  if (patch) *patch = corvala4::kVersionRevision;
}

const char* c4_version_text(void) {
  return corvala4::kVersionText;
}

int c4_tester_last_error(const c4_tester* tester, int32_t* number, const char** source,
                         const char** description) {
  const ErrorSlot& slot = tester ? *tester->error : ThreadSlot();
  if (number) *number = slot.number;
  if (source) *source = slot.source.c_str();
  if (description) *description = slot.description.c_str();
  return C4_OK;
}

int c4_tester_new(c4_tester** tester) {
  if (!tester) return C4_E_ARGUMENT;
  *tester = nullptr;
  return Guard(ThreadSlot(), [&] {
    *tester = new c4_tester;
    return C4_OK;
  });
}

void c4_tester_free(c4_tester* tester) {
  if (!tester) return;
  if (tester->busy > 0) {
    tester->freed = true;
    return;
  }
  try {
    for (auto& [id, adapter] : tester->events) tester->tester.Unsubscribe(*adapter);
    for (auto& [id, adapter] : tester->progress) tester->tester.UnsubscribeProgress(*adapter);
  } catch (...) {
  }
  delete tester;
}

int c4_tester_set_host_exe(c4_tester* tester, const char* path) {
  if (!tester || !path) return C4_E_ARGUMENT;
  return Guard(*tester->error, [&] {
    tester->tester.SetHostEXE(path);
    return C4_OK;
  });
}

int c4_tester_host_exe(c4_tester* tester, const char** path) {
  if (!tester || !path) return C4_E_ARGUMENT;
  return Guard(*tester->error, [&] { return Text(tester->text, tester->tester.HostEXE(), path); });
}

int c4_tester_prompt_test(c4_tester* tester) {
  return Entry(tester, &corvala4::TesterCore::PromptTest);
}
int c4_tester_launch(c4_tester* tester) {
  return Entry(tester, &corvala4::TesterCore::Launch);
}
int c4_tester_launch_no_ui(c4_tester* tester) {
  return Entry(tester, &corvala4::TesterCore::LaunchNoUI);
}

int c4_tester_unit_test_launch(c4_tester* tester) {
  if (!tester) return C4_E_ARGUMENT;
  if (!EnterThread()) return Refused(*tester->error);
  int status = Guard(*tester->error, [&] {
    tester->tester.IUnitTest_Launch();
    return C4_OK;
  });
  LeaveThread();
  return status;
}

int c4_tester_test_cases(c4_tester* tester, c4_cases** cases) {
  if (!tester || !cases) return C4_E_ARGUMENT;
  *cases = nullptr;
  return Guard(*tester->error, [&] {
    *cases = new c4_cases{tester->tester.TestCases(), tester->error};
    return C4_OK;
  });
}

int c4_tester_selected_cases(c4_tester* tester, c4_cases** cases) {
  if (!tester || !cases) return C4_E_ARGUMENT;
  *cases = nullptr;
  return Guard(*tester->error, [&] {
    if (auto selected = tester->tester.SelectedCases()) *cases = new c4_cases{selected, tester->error};
    return C4_OK;
  });
}

int c4_tester_active_case(c4_tester* tester, c4_case** tc) {
  if (!tester || !tc) return C4_E_ARGUMENT;
  *tc = nullptr;
  return Guard(*tester->error, [&] {
    if (auto active = tester->tester.ActiveCase()) *tc = new c4_case{active, tester->error, {}};
    return C4_OK;
  });
}

int c4_tester_set_junit_report(c4_tester* tester, const char* path) {
  if (!tester) return C4_E_ARGUMENT;
  return Guard(*tester->error, [&] {
    tester->tester.SetJUnitReport(path ? path : "");
    return C4_OK;
  });
}

int c4_tester_junit_report(c4_tester* tester, const char** path) {
  if (!tester || !path) return C4_E_ARGUMENT;
  return Guard(*tester->error, [&] { return Text(tester->text, tester->tester.JUnitReport(), path); });
}

int c4_tester_subscribe(c4_tester* tester, const c4_events* events, int* id) {
  if (!tester || !events) return C4_E_ARGUMENT;
  return Guard(*tester->error, [&] {
    auto adapter = std::make_unique<EventsAdapter>(*tester, *events);
    tester->tester.Subscribe(*adapter);
    int given = tester->next_id++;
    tester->events.emplace_back(given, std::move(adapter));
    if (id) *id = given;
    return C4_OK;
  });
}

int c4_tester_subscribe_progress(c4_tester* tester, const c4_progress* progress, int* id) {
  if (!tester || !progress) return C4_E_ARGUMENT;
  return Guard(*tester->error, [&] {
    auto adapter = std::make_unique<ProgressAdapter>(*progress);
    tester->tester.SubscribeProgress(*adapter);
    int given = tester->next_id++;
    tester->progress.emplace_back(given, std::move(adapter));
    if (id) *id = given;
    return C4_OK;
  });
}

int c4_tester_unsubscribe(c4_tester* tester, int id) {
  if (!tester) return C4_E_ARGUMENT;
  return Guard(*tester->error, [&] {
    for (auto it = tester->events.begin(); it != tester->events.end(); ++it) {
      if (it->first != id) continue;
      tester->tester.Unsubscribe(*it->second);
      tester->retired_events.push_back(std::move(it->second));
      tester->events.erase(it);
      return C4_OK;
    }
    for (auto it = tester->progress.begin(); it != tester->progress.end(); ++it) {
      if (it->first != id) continue;
      tester->tester.UnsubscribeProgress(*it->second);
      tester->retired_progress.push_back(std::move(it->second));
      tester->progress.erase(it);
      return C4_OK;
    }
    throw Error(corvala4::err::InvalidProcedureCall, corvala4::kModuleSource,
                "no subscription " + std::to_string(id));
  });
}

void c4_fail_reason(const char* description) {
  try {
    FailReason() = description ? description : "";
  } catch (...) {
  }
}

int c4_cases_count(c4_cases* cases, int32_t* count) {
  if (!cases || !count) return C4_E_ARGUMENT;
  return Guard(*cases->error, [&] {
    *count = cases->cases->Count();
    return C4_OK;
  });
}

int c4_cases_item(c4_cases* cases, int32_t index, c4_case** tc) {
  if (!cases || !tc) return C4_E_ARGUMENT;
  *tc = nullptr;
  return Guard(*cases->error, [&] {
    *tc = new c4_case{cases->cases->Item(index), cases->error, {}};
    return C4_OK;
  });
}

void c4_cases_free(c4_cases* cases) {
  delete cases;
}

int c4_case_dup(c4_case* tc, c4_case** copy) {
  if (!tc || !copy) return C4_E_ARGUMENT;
  *copy = nullptr;
  return Guard(*tc->error, [&] {
    *copy = new c4_case{tc->tc, tc->error, {}};
    return C4_OK;
  });
}

void c4_case_free(c4_case* tc) {
  delete tc;
}

int c4_case_success(c4_case* tc, int* success) {
  if (!tc || !success) return C4_E_ARGUMENT;
  return Guard(*tc->error, [&] {
    *success = tc->tc->Success() ? 1 : 0;
    return C4_OK;
  });
}

int c4_case_set_success(c4_case* tc, int success) {
  if (!tc) return C4_E_ARGUMENT;
  return Guard(*tc->error, [&] {
    tc->tc->SetSuccess(success != 0);
    return C4_OK;
  });
}

int c4_case_caption(c4_case* tc, const char** caption) {
  if (!tc || !caption) return C4_E_ARGUMENT;
  return Guard(*tc->error, [&] { return Text(tc->text, tc->tc->Caption(), caption); });
}

int c4_case_project_file(c4_case* tc, const char** path) {
  if (!tc || !path) return C4_E_ARGUMENT;
  return Guard(*tc->error, [&] { return Text(tc->text, tc->tc->ProjectFile(), path); });
}

int c4_case_project_file_name(c4_case* tc, const char** name) {
  if (!tc || !name) return C4_E_ARGUMENT;
  return Guard(*tc->error, [&] { return Text(tc->text, tc->tc->ProjectFileName(), name); });
}

int c4_case_func_num(c4_case* tc, int16_t* func_num) {
  if (!tc || !func_num) return C4_E_ARGUMENT;
  return Guard(*tc->error, [&] {
    *func_num = tc->tc->FuncNum();
    return C4_OK;
  });
}

int c4_case_test_case_folder(c4_case* tc, const char** path) {
  if (!tc || !path) return C4_E_ARGUMENT;
  return Guard(*tc->error, [&] { return Text(tc->text, tc->tc->TestCaseFolder(), path); });
}

int c4_case_remove_test_folder(c4_case* tc) {
  if (!tc) return C4_E_ARGUMENT;
  return Guard(*tc->error, [&] {
    tc->tc->RemoveTestFolder();
    return C4_OK;
  });
}

int c4_case_mandatory(c4_case* tc, int* mandatory) {
  if (!tc || !mandatory) return C4_E_ARGUMENT;
  return Guard(*tc->error, [&] {
    *mandatory = tc->tc->Mandatory() ? 1 : 0;
    return C4_OK;
  });
}

int c4_case_passed(c4_case* tc, int* passed) {
  if (!tc || !passed) return C4_E_ARGUMENT;
  return Guard(*tc->error, [&] {
    *passed = tc->tc->Passed() ? 1 : 0;
    return C4_OK;
  });
}

int c4_register_unit_test(const char* name, c4_unit_test test, void* user) {
  if (!name || !test) return C4_E_ARGUMENT;
  return Guard(ThreadSlot(), [&] {
    corvala4::RegisterUnitTest(name, [test, user] {
      FailReason().clear();
      int result = test(user);
      if (result == 0) return;
      std::string reason = FailReason();
      throw std::runtime_error(reason.empty() ? "returned " + std::to_string(result) : reason);
    });
    return C4_OK;
  });
}

void c4_clear_unit_tests(void) {
  try {
    corvala4::ClearUnitTests();
  } catch (...) {
  }
}

size_t c4_unit_test_count(void) {
  try {
    return corvala4::UnitTestNames().size();
  } catch (...) {
    return 0;
  }
}

int c4_run_unit_test(size_t index, int* passed, const char** name, const char** message) {
  if (!passed) return C4_E_ARGUMENT;
  thread_local corvala4::UnitTestResult last;
  return Guard(ThreadSlot(), [&] {
    if (index >= corvala4::UnitTestNames().size())
      throw Error(corvala4::err::SubscriptOutOfRange, corvala4::kModuleSource,
                  "no unit test at position " + std::to_string(index));
    last = corvala4::RunUnitTest(index);
    *passed = last.passed ? 1 : 0;
    if (name) *name = last.name.c_str();
    if (message) *message = last.message.c_str();
    return C4_OK;
  });
}

}  // extern "C"
