// The "ANSI code page": the process locale's codeset (C/POSIX/ASCII means UTF-8),
// overridden by CORVALA4_CODEPAGE. Inside the module every text is UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace corvala4 {

/// The codeset name as iconv knows it, for example "UTF-8" or "GBK".
std::string CodePageName();
/// The code page is UTF-8: its bytes need no decoding.
bool CodePageIsUtf8();
/// UTF-8 to the code page; characters it cannot hold become "?".
std::string ToCodePage(std::string_view utf8);
/// The code page to UTF-8; bytes that do not decode become U+FFFD, never a failure.
std::string FromCodePage(std::string_view bytes);
/// The same, handing a text that needs no conversion back without copying it.
std::string FromCodePageOwned(std::string&& bytes);
/// UTF-8 of Unicode scalar values only: every ill-formed sequence (an overlong form, a
/// surrogate, beyond U+10FFFF, a stray byte) becomes U+FFFD. What every report writes goes
/// through it.
std::string ScalarValuesOnly(std::string_view text);
/// Between any two codesets, with the same replacement rules.
std::string ConvertText(std::string_view bytes, const std::string& from, const std::string& to);

}  // namespace corvala4
