#include "foundation/format_msg.h"

#include <cmath>
#include <cstdio>

namespace corvala4 {

namespace {

void Flatten(const Value& value, std::vector<Value>* out) {
  if (!value.IsArray()) {
    out->push_back(value);
    return;
  }
  for (const Value& element : std::get<Value::Array>(value.v)) {
    if (element.IsEmpty())
      out->push_back(element);
    else
      Flatten(element, out);
  }
}

std::string RealText(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
  // Fifteen significant digits, as the classic runtime shows a Double.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15G", d);
  return buf;
}

std::string DateText(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[64];
  if (tm.tm_hour == 0 && tm.tm_min == 0 && tm.tm_sec == 0)
    std::snprintf(buf, sizeof buf, "%d-%d-%d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  else
    std::snprintf(buf, sizeof buf, "%d-%d-%d %d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

void ReplaceAll(std::string& text, const std::string& placeholder, const std::string& replacement) {
  std::string out;
  size_t pos = 0;
  while (true) {
    size_t hit = text.find(placeholder, pos);
    if (hit == std::string::npos) break;
    out.append(text, pos, hit - pos);
    out += replacement;
    pos = hit + placeholder.size();
  }
  if (pos == 0) return;
  out.append(text, pos, std::string::npos);
  text = std::move(out);
}

}  // namespace

std::string Value::ToText() const {
  struct Visitor {
    std::string operator()(Empty) const { return {}; }
    std::string operator()(Null) const { return "Null"; }
    std::string operator()(const std::string& s) const { return s; }
    std::string operator()(int64_t i) const { return std::to_string(i); }
    std::string operator()(double d) const { return RealText(d); }
    std::string operator()(bool b) const { return BoolText(b); }
    std::string operator()(Date d) const { return DateText(d.seconds); }
    std::string operator()(const Array&) const { return {}; }
  };
  return std::visit(Visitor{}, v);
}

std::vector<Value> FlattenArgs(const Value& value) {
  std::vector<Value> out;
  Flatten(value, &out);
  return out;
}

std::string FormatMsgList(std::string_view templ, const std::vector<Value>& values) {
  std::vector<Value> flat;
  for (const Value& v : values) Flatten(v, &flat);
  std::string text(templ);
  // Last value first, so %10 is replaced before %1 and inserted text meets the lower placeholders.
  for (size_t i = flat.size(); i >= 1; --i)
    ReplaceAll(text, "%" + std::to_string(i - 1), flat[i - 1].ToText());
  return text;
}

std::string FormatTextList(std::string_view templ, const std::vector<Value>& values) {
  std::vector<Value> flat;
  for (const Value& v : values) Flatten(v, &flat);
  std::string text;
  text.reserve(templ.size());
  size_t pos = 0;
  while (pos < templ.size()) {
    size_t percent = templ.find('%', pos);
    if (percent == std::string_view::npos) break;
    text.append(templ, pos, percent - pos);
    size_t digits = 0;
    while (percent + 1 + digits < templ.size() && templ[percent + 1 + digits] >= '0' &&
           templ[percent + 1 + digits] <= '9')
      ++digits;
    // The longest placeholder that has a value, as FormatMsg's order from the highest one gives.
    size_t taken = 0, index = 0;
    for (size_t len = digits; len >= 1 && taken == 0; --len) {
      std::string_view number = templ.substr(percent + 1, len);
      if (len > 1 && number[0] == '0') continue;
      if (len > 9) continue;
      size_t n = std::stoul(std::string(number));
      if (n < flat.size()) taken = len, index = n;
    }
    if (taken == 0) {
      text += '%';
      pos = percent + 1;
    } else {
      text += flat[index].ToText();
      pos = percent + 1 + taken;
    }
  }
  text.append(templ, pos, std::string_view::npos);
  return text;
}

}  // namespace corvala4
