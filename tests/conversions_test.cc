#include "foundation/conversions.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "foundation/errors.h"
#include "model/test_case.h"
#include "tests/test_support.h"

namespace corvala4 {
namespace {

using testing::ErrorOf;

TEST(ConversionsTest, TextToBoolAndLong) {
  EXPECT_TRUE(TextToBool(" TRUE "));
  EXPECT_FALSE(TextToBool("false"));
  EXPECT_TRUE(TextToBool("-1"));
  EXPECT_FALSE(TextToBool("0"));
  for (const char* bad : {"", "yes", "1x", "."}) EXPECT_EQ(ErrorOf([&] { TextToBool(bad); }), 13) << bad;
  EXPECT_EQ(TextToLong(" 42 "), 42);
  EXPECT_EQ(TextToLong("2.5"), 2);
  EXPECT_EQ(TextToLong("3.5"), 4);
  EXPECT_EQ(TextToLong("&H1F"), 31);
  EXPECT_EQ(ErrorOf([] { TextToLong("abc"); }), 13);
  EXPECT_EQ(ErrorOf([] { TextToLong("99999999999"); }), 6);
}

TEST(ConversionsTest, AWholeTextAndALeadingNumberShareTheirForms) {
  EXPECT_EQ(1.5, TextToNumber(" 1.5\t"));
  EXPECT_EQ(100.0, TextToNumber("1D2"));
  EXPECT_EQ(-1.0, TextToNumber("&HFFFF"));  // hex digits wrap as Val wraps them
  for (const char* bad : {"&H", "&O18", "1E", "1 2", "1.5.5", "+"})
    EXPECT_FALSE(TextToNumber(bad).has_value()) << bad;
  EXPECT_EQ(12.0, Val("1 2"));
  EXPECT_EQ(1.5, Val("1.5.5"));
  EXPECT_EQ(1.0, Val("1E"));
  EXPECT_EQ(0.0, Val("&O8"));
  EXPECT_EQ(err::Overflow, ErrorOf([] { TextToNumber("&H123456789"); }));
}

TEST(ConversionsTest, ADecimalCommaLocaleReadsThePointAllTheSame) {
  std::string saved = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
    GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (scripts/install-deps.sh makes it)";
  EXPECT_EQ(1.5, TextToNumber("1.5"));
  EXPECT_FALSE(TextToNumber("1,5").has_value());
  EXPECT_EQ(4, TextToLong("3.5"));
  EXPECT_TRUE(TextToBool("0.5"));
  EXPECT_EQ(2, ReadFuncNum("1.5"));
  std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
}  // namespace corvala4
