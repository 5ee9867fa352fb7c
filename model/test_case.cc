#include "model/test_case.h"

#include "engine/tester_core.h"
#include "foundation/detailed_fso.h"
#include "foundation/errors.h"
#include "foundation/globals.h"

namespace corvala4 {

TestCase::~TestCase() = default;

std::string TestCaseImpl::StandardFolder() const { return FSO().BuildPath(Current().StandardFolder(), folder_); }

bool TestCaseImpl::StandardFolderExists() const { return FSO().FolderExists(StandardFolder()); }

std::string TestCaseImpl::TestCaseFolder() const { return FSO().BuildPath(Current().WorkFolder(), folder_); }

std::string TestCaseImpl::ProjectFile() const { return FSO().BuildPath(TestCaseFolder(), project_file_name_); }

int16_t TestCaseImpl::FuncNum() const { return 0; }

void TestCaseImpl::RemoveTestFolder() {}

void TestCaseImpl::Attach(TesterCore& tester) { owner_ = &tester; }

void TestCaseImpl::Detach() { owner_ = nullptr; }

}  // namespace corvala4
