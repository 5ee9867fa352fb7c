#include "foundation/format_msg.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>

namespace corvala4 {
namespace {

TEST(FormatMsgTest, FillsFromTheLastValueToTheFirst) {
  EXPECT_EQ("算例'A1'计算失败!", FormatMsg("算例'%0'计算失败!", "A1"));
  EXPECT_EQ("ba", FormatMsg("%1%0", "a", "b"));
  EXPECT_EQ("x %1 %2", FormatMsg("%0 %1 %2", "x"));
  // The text put in for %1 is scanned again by %0.
  EXPECT_EQ("x", FormatMsg("%1", "x", "%0"));
  EXPECT_EQ("b0", FormatMsg("%10", "a", "b"));
  EXPECT_EQ("k", FormatMsg("%10", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k"));
  EXPECT_EQ("no placeholders", FormatMsg("no placeholders", 1, 2));
  EXPECT_EQ("%0 stays", FormatMsg("%0 stays"));
}

TEST(FormatMsgTest, ConvertsEveryKindOfValue) {
  EXPECT_EQ("-12 3", FormatMsg("%0 %1", -12, int64_t{3}));
  EXPECT_EQ("Null[]", FormatMsg("%0[%1]", Value(Value::Null{}), Value()));
  EXPECT_EQ("True False", FormatMsg("%0 %1", true, false));
  EXPECT_EQ("2.5", FormatMsg("%0", 2.5));
  EXPECT_EQ("0_1_2", FormatMsg("%0_%1_%2", std::string("0"), 1, 2));
}

TEST(FormatMsgTest, FlattensNestedArrays) {
  Value pq = Value::Array{Value("p"), Value("q")};
  EXPECT_EQ("p,q,r", FormatMsg("%0,%1,%2", pq, "r"));
  Value nested = Value::Array{Value("p"), Value(Value::Array{Value("q"), Value("r")})};
  EXPECT_EQ("p,q,r", FormatMsg("%0,%1,%2", nested));
  // An empty element keeps its place.
  Value with_empty = Value::Array{Value("a"), Value(), Value("c")};
  std::vector<Value> flat = FlattenArgs(with_empty);
  ASSERT_EQ(3u, flat.size());
  EXPECT_TRUE(flat[1].IsEmpty());
  EXPECT_EQ("a--c", FormatMsg("%0-%1-%2", with_empty));
  EXPECT_EQ(1u, FlattenArgs(Value("x")).size());
}

// Text from a file or a person goes in unchanged, and otherwise the result is FormatMsg's.
TEST(FormatMsgTest, FormatTextNeverRescansAValue) {
  EXPECT_EQ("calc_p%0_1_Passed.txt", FormatText("%0_%1_%2_Passed.txt", "calc", "p%0", 1));
  EXPECT_EQ("[1/6]'%1%0'", FormatText("[%0/%1]'%2'", 1, 6, "%1%0"));
  EXPECT_EQ("% %x 100%", FormatText("% %x %0%", 100));

  std::mt19937 rng(11);
  const char pieces[][4] = {"%0", "%1", "%2", "%10", "%11", "%01", "%", "a", "0", "%%"};
  for (int round = 0; round < 2000; ++round) {
    std::string templ;
    for (int i = 0, n = static_cast<int>(rng() % 8); i < n; ++i) templ += pieces[rng() % std::size(pieces)];
    std::vector<Value> values;
    for (int i = 0, n = static_cast<int>(rng() % 13); i < n; ++i) values.emplace_back("v" + std::to_string(i));
    EXPECT_EQ(FormatMsgList(templ, values), FormatTextList(templ, values)) << templ << " " << values.size();
  }
}

}  // namespace
}  // namespace corvala4
