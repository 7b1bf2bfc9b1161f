#pragma once
// A field value as it travels between tables and the program.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace nox::tables {

class Value {
 public:
  enum class Kind : std::uint8_t { Null, Text, Integer, Float, Currency, Date, Boolean };

  Value() = default;
  static Value Null() { return Value(); }
  static Value Text(std::string text) { return Value(Kind::Text, std::move(text)); }
  static Value Integer(std::int64_t number) { return Value(Kind::Integer, number); }
  static Value Float(double number) { return Value(Kind::Float, number); }
  static Value Currency(double amount) { return Value(Kind::Currency, amount); }
  // Days since 30 December 1899, the time of day as the fraction (see host/date_time.h).
  static Value Date(double dateTime) { return Value(Kind::Date, dateTime); }
  static Value Boolean(bool flag) { return Value(Kind::Boolean, flag); }

  Kind kind() const { return kind_; }
  bool isNull() const { return kind_ == Kind::Null; }

  // Accessors for the stored alternative; asking for another alternative is a programming error
  // and raises std::bad_variant_access.
  const std::string& text() const { return std::get<std::string>(data_); }
  std::int64_t integer() const { return std::get<std::int64_t>(data_); }
  double number() const { return std::get<double>(data_); }  // Float, Currency and Date
  bool boolean() const { return std::get<bool>(data_); }

  // Assigning a text in place reuses the string's storage (hot path of record reading).
  void setText(std::string_view text) {
    if (auto* s = std::get_if<std::string>(&data_)) {
      s->assign(text);
    } else {
      data_ = std::string(text);
    }
    kind_ = Kind::Text;
  }

  // Makes the value null but keeps a text's storage for the next text assigned: a record filled
  // again and again allocates its texts once.
  void clear() {
    if (auto* s = std::get_if<std::string>(&data_)) {
      s->clear();
    } else {
      data_ = std::monostate{};
    }
    kind_ = Kind::Null;
  }

  friend bool operator==(const Value& a, const Value& b) {
    return a.kind_ == b.kind_ && (a.kind_ == Kind::Null || a.data_ == b.data_);
  }

 private:
  using Data = std::variant<std::monostate, std::string, std::int64_t, double, bool>;
  template <typename T>
  Value(Kind kind, T&& data) : kind_(kind), data_(std::forward<T>(data)) {}

  Kind kind_ = Kind::Null;
  Data data_;
};

}  // namespace nox::tables
