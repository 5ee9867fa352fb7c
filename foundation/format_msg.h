// Templates with numbered placeholders %0, %1, ... filled from the last value to the first.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "foundation/value.h"
#include "foundation/windows_api.h"

namespace corvala4 {

/// Spreads nested arrays into one flat list, in order.
std::vector<Value> FlattenArgs(const Value& value);

/// Fills the template from values (arrays are flattened first).
CORVALA4_WINDOWS_API std::string FormatMsgList(std::string_view templ, const std::vector<Value>& values);

/// Fills each placeholder of the template once, in one pass: inserted values are never
/// scanned again, so a caption or path that holds "%0" arrives as it was written.
std::string FormatTextList(std::string_view templ, const std::vector<Value>& values);

template <typename... Args>
std::string FormatText(std::string_view templ, const Args&... args) {
  return FormatTextList(templ, std::vector<Value>{Value(args)...});
}

template <typename... Args>
std::string FormatMsg(std::string_view templ, const Args&... args) {
  return FormatMsgList(templ, std::vector<Value>{Value(args)...});
}

}  // namespace corvala4
