// A dynamic value as the message formatter takes it: text, number, Boolean, date,
// null, empty, or an array of such values.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <variant>
#include <vector>

namespace corvala4 {

struct Value {
  struct Empty {};
  struct Null {};
  /// A point in local time, kept as seconds since the epoch.
  struct Date {
    std::time_t seconds;
  };
  using Array = std::vector<Value>;
  std::variant<Empty, Null, std::string, int64_t, double, bool, Date, Array> v;

  Value() : v(Empty{}) {}
  Value(Empty e) : v(e) {}
  Value(Null n) : v(n) {}
  Value(std::string s) : v(std::move(s)) {}
  Value(const char* s) : v(std::string(s)) {}
  Value(std::string_view s) : v(std::string(s)) {}
  Value(int i) : v(int64_t{i}) {}
  Value(long i) : v(int64_t{i}) {}
  Value(long long i) : v(int64_t{i}) {}
  Value(unsigned i) : v(int64_t{i}) {}
  Value(short i) : v(int64_t{i}) {}
  Value(double d) : v(d) {}
  Value(bool b) : v(b) {}
  Value(Date d) : v(d) {}
  Value(Array a) : v(std::move(a)) {}

  bool IsArray() const { return std::holds_alternative<Array>(v); }
  bool IsNull() const { return std::holds_alternative<Null>(v); }
  bool IsEmpty() const { return std::holds_alternative<Empty>(v); }
  /// The standard text conversion: True/False, plain decimal digits, empty for empty.
  std::string ToText() const;
};

/// Booleans in user texts are the words True and False.
inline const char* BoolText(bool b) { return b ? "True" : "False"; }

}  // namespace corvala4
