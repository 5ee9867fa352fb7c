#include "foundation/platform/code_page.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <optional>

namespace corvala4 {
namespace {

/// Sets CORVALA4_CODEPAGE (or removes it) for one test.
class ScopedCodePage {
 public:
  explicit ScopedCodePage(const char* name) {
    if (const char* old = getenv("CORVALA4_CODEPAGE")) old_ = old;
    if (name)
      setenv("CORVALA4_CODEPAGE", name, 1);
    else
      unsetenv("CORVALA4_CODEPAGE");
  }
  ~ScopedCodePage() {
    if (old_)
      setenv("CORVALA4_CODEPAGE", old_->c_str(), 1);
    else
      unsetenv("CORVALA4_CODEPAGE");
  }

 private:
  std::optional<std::string> old_;
};

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

TEST(CodePageTest, TheVariableWinsOverTheLocale) {
  {
    ScopedCodePage page("GBK");
    EXPECT_EQ("GBK", CodePageName());
  }
  {
    ScopedCodePage page(nullptr);
    std::string saved = setlocale(LC_CTYPE, nullptr);
    setlocale(LC_CTYPE, "C");
    EXPECT_EQ("UTF-8", CodePageName());  // plain ASCII locale
    if (setlocale(LC_CTYPE, "C.UTF-8")) {
      EXPECT_EQ("UTF-8", CodePageName());
    }
    setlocale(LC_CTYPE, saved.c_str());
  }
  {
    ScopedCodePage page("ANSI_X3.4-1968");
    EXPECT_EQ("UTF-8", CodePageName());
  }
  {
    ScopedCodePage page("");  // empty: as if unset
    setlocale(LC_CTYPE, "C");
    EXPECT_EQ("UTF-8", CodePageName());
  }
}

TEST(CodePageTest, GbkConvertsBothWaysAndNeverFails) {
  ScopedCodePage page("GBK");
  const std::string zhongwen = "\xD6\xD0\xCE\xC4";  // 中文 in GBK
  EXPECT_EQ(zhongwen + "abc\r\n", ToCodePage("中文abc\r\n"));
  EXPECT_EQ("中文abc\r\n", FromCodePage(zhongwen + "abc\r\n"));
  // A character GBK lacks becomes "?"; the text around it stays.
  EXPECT_EQ("a?b\xD6\xD0", ToCodePage(std::string("a\xF0\x9F\x98\x80") + "b中"));
  // Input that is not UTF-8 at all is not lost either.
  EXPECT_EQ("a?b", ToCodePage(std::string("a\xFF") + "b"));
  // Bytes that do not decode become U+FFFD, a cut-off character at the end too.
  EXPECT_EQ(std::string("a") + kReplacement + "b", FromCodePage(std::string("a\xFF") + "b"));
  EXPECT_EQ(std::string("中") + kReplacement, FromCodePage("\xD6\xD0\xCE"));
  EXPECT_EQ("", ToCodePage(""));
  EXPECT_EQ("", FromCodePage(""));

  // Long texts grow the buffers many times over.
  std::string long_text;
  for (int i = 0; i < 200000; ++i) long_text += "中a";
  std::string bytes = ToCodePage(long_text);
  EXPECT_EQ(600000u, bytes.size());
  EXPECT_EQ(long_text, FromCodePage(bytes));
}

TEST(CodePageTest, Utf8CodePageRepairsBrokenInput) {
  ScopedCodePage page("UTF-8");
  EXPECT_EQ("中文", ToCodePage("中文"));
  EXPECT_EQ(std::string("ok") + kReplacement + "(", FromCodePage("ok\xC3("));
  EXPECT_EQ(std::string("x") + kReplacement, FromCodePage("x\xE4\xB8"));
  // Overlong forms and surrogates are not valid UTF-8 either.
  for (const char* bad : {"a\xC0\x80", "a\xED\xA0\x80", "a\xE0\x80\x80"}) {
    std::string text = FromCodePage(bad);
    EXPECT_NE(bad, text);
    EXPECT_NE(std::string::npos, text.find(kReplacement)) << bad;
  }
  EXPECT_EQ("\xF0\x9F\x98\x80\xE4\xB8\xAD", FromCodePage("\xF0\x9F\x98\x80\xE4\xB8\xAD"));
}

TEST(CodePageTest, AnUnknownCodePageActsAsUtf8) {
  ScopedCodePage page("NO-SUCH-CODESET-42");
  EXPECT_EQ("中文", ToCodePage("中文"));
  EXPECT_EQ("中文", FromCodePage("中文"));
}

TEST(CodePageTest, Utf16Conversions) {
  EXPECT_EQ(std::string("\x2D\x4E\x61\x00", 4), ConvertText("中a", "UTF-8", "UTF-16LE"));
  EXPECT_EQ("中a", ConvertText(std::string("\x2D\x4E\x61\x00", 4), "UTF-16LE", "UTF-8"));
  // An odd last byte and a lone surrogate do not decode.
  EXPECT_EQ(std::string("a") + kReplacement, ConvertText(std::string("a\x00\x62", 3), "UTF-16LE", "UTF-8"));
  EXPECT_EQ(std::string(kReplacement) + "a",
            ConvertText(std::string("\x00\xD8\x61\x00", 4), "UTF-16LE", "UTF-8"));
  // U+FFFD and "?" are written in the target's own encoding.
  EXPECT_EQ("\xFD\xFF", ConvertText("\xFF", "GBK", "UTF-16LE"));
  EXPECT_EQ(std::string("\x3F\x00", 2), ConvertText("\xF0\x9F\x98\x80", "UTF-8", "UCS-2LE"));
}

}  // namespace
}  // namespace corvala4
