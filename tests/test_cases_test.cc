#include "model/test_cases.h"

#include <gtest/gtest.h>

#include "tests/case_fixture.h"

namespace corvala4 {
namespace {

using testing::CaseFixture;
using testing::ErrorOf;
using testing::WriteFile;

class TestCasesTest : public CaseFixture {
 protected:
  std::shared_ptr<TestCaseImpl> Add(TestCasesImpl& cases, const std::string& folder, bool mandatory,
                                    bool passed) {
    WriteFile(Std(folder + "/beam.prj"), "p");
    auto tc = MakeCase(folder);
    tc->SetMandatory(mandatory);
    tc->SetPassed(passed);
    cases.Add(tc);
    return tc;
  }
};

TEST_F(TestCasesTest, EmptyCollection) {
  TestCasesImpl cases;
  EXPECT_EQ(0, cases.Count());
  EXPECT_TRUE(cases.AllMandatoryPassed());
  EXPECT_EQ(0, cases.MandatoryCount());
  EXPECT_EQ(err::SubscriptOutOfRange, ErrorOf([&] { cases.Item(1); }));
  EXPECT_EQ(err::SubscriptOutOfRange, ErrorOf([&] { cases.Item("Beam01"); }));
  int seen = 0;
  for (auto& tc : cases) seen += tc != nullptr;
  EXPECT_EQ(0, seen);
}

TEST_F(TestCasesTest, ItemsCountsAndOrder) {
  TestCasesImpl cases;
  auto a = Add(cases, "A", false, false);
  auto b = Add(cases, "B", false, true);
  Add(cases, "A", false, false);  // no duplicate check
  EXPECT_EQ(3, cases.Count());
  EXPECT_TRUE(cases.AllMandatoryPassed());  // nothing is mandatory
  EXPECT_EQ(0, cases.MandatoryCount());
  EXPECT_EQ(1, cases.PassedCount());
  EXPECT_EQ(b, cases.Item(2));
  EXPECT_EQ(err::SubscriptOutOfRange, ErrorOf([&] { cases.Item(0); }));
  EXPECT_EQ(err::SubscriptOutOfRange, ErrorOf([&] { cases.Item(4); }));
  EXPECT_EQ(err::SubscriptOutOfRange, ErrorOf([&] { cases.Item("1"); }));
  std::string order;
  for (const std::shared_ptr<TestCase>& tc : cases) order += tc->Caption();
  EXPECT_EQ("ABA", order);

  auto c = Add(cases, "C", true, true);
  EXPECT_TRUE(cases.AllMandatoryPassed());
  a->SetMandatory(true);
  EXPECT_FALSE(cases.AllMandatoryPassed());
  EXPECT_EQ(2, cases.MandatoryCount());
  EXPECT_EQ(2, cases.PassedCount());
}

TEST_F(TestCasesTest, ClearDetachesEveryCase) {
  TestCasesImpl cases;
  auto a = Add(cases, "A", true, false);
  auto b = Add(cases, "B", true, false);
  auto file = std::make_shared<OutputFile>();
  file->InitFromText(*a, "a.out");
  a->OutputFiles()->Add(file);
  TestCasesImpl selected;  // another collection holding the same cases
  selected.Add(b);
  cases.Clear();
  EXPECT_EQ(0, cases.Count());
  EXPECT_EQ(nullptr, a->Owner());
  EXPECT_EQ(nullptr, b->Owner());
  EXPECT_EQ(nullptr, file->Owner());
  EXPECT_EQ(0, a->OutputFiles()->Count());
  EXPECT_EQ(1, selected.Count());
  EXPECT_EQ(err::ObjectNotSet, ErrorOf([&] { selected.AllMandatoryPassed(); }));
}

}  // namespace
}  // namespace corvala4
