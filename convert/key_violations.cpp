#include "convert/key_violations.h"

#include <cctype>
#include <cmath>
#include <exception>
#include <optional>
#include <utility>

#include "host/number_format.h"

namespace nox::convert {

namespace {

using tables::Value;

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// A value as a number for packing; `integral` tells whether it is a whole-number kind.
long double PackNumber(const Value& value, bool& integral) {
  switch (value.kind()) {
    case Value::Kind::Integer:
      integral = true;
      return static_cast<long double>(value.integer());
    case Value::Kind::Float:
    case Value::Kind::Currency:
    case Value::Kind::Date:
      integral = false;
      return value.number();
    case Value::Kind::Text: {
      const std::optional<long double> number = host::TextToFloat(value.text());
      if (!number) {
        std::string text = "'";
        text.append(value.text()).append("' is not a valid number");
        throw tables::RecordRefused(text);
      }
      integral = std::trunc(*number) == *number && std::fabs(*number) < 9.0e18L;
      return *number;
    }
    case Value::Kind::Boolean:
    case Value::Kind::Null:
      break;
  }
  throw tables::RecordRefused("A logical value cannot be summed");
}

}  // namespace

std::vector<std::string> SplitNameList(std::string_view text, std::size_t limit) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (names.size() < limit && start <= text.size()) {
    const std::size_t end = std::min(text.find(';', start), text.size());
    if (end == start) break;  // the first empty item ends the list
    names.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

Value PackSum(const Value& existing, const Value& added) {
  if (existing.isNull() || added.isNull()) return Value::Null();
  if (existing.kind() == Value::Kind::Text && added.kind() == Value::Kind::Text) {
    std::string joined = existing.text();
    joined.append(added.text());
    return Value::Text(std::move(joined));
  }
  bool existingIntegral = false;
  bool addedIntegral = false;
  const long double sum = PackNumber(existing, existingIntegral) + PackNumber(added, addedIntegral);
  const auto either = [&](Value::Kind kind) {
    return existing.kind() == kind || added.kind() == kind;
  };
  if (either(Value::Kind::Date)) return Value::Date(static_cast<double>(sum));
  if (either(Value::Kind::Currency)) return Value::Currency(static_cast<double>(sum));
  if (existingIntegral && addedIntegral && std::fabs(sum) < 9.0e18L) {
    return Value::Integer(static_cast<std::int64_t>(sum));
  }
  return Value::Float(static_cast<double>(sum));
}

std::string KeyViolationTableName(std::string_view targetName) {
  std::string name(targetName.substr(0, 6));
  name.append("KV");
  return name;
}

void NameKeyViolationTable(tables::TTable& keyViolations, const std::string& targetDirectory,
                           std::string_view targetFileName) {
  const std::size_t firstDot = targetFileName.find('.');
  const std::string typeText = firstDot == std::string_view::npos
                                   ? std::string()
                                   : UpperCase(targetFileName.substr(firstDot + 1));
  tables::TableType type = tables::TableType::Default;
  if (typeText == "DBF") type = tables::TableType::DBase;
  if (typeText == "DB") type = tables::TableType::Paradox;

  std::string tableName = KeyViolationTableName(targetFileName.substr(0, firstDot));
  const std::size_t lastDot = targetFileName.rfind('.');
  if (lastDot != std::string_view::npos) tableName.append(targetFileName.substr(lastDot));

  keyViolations.SetDatabaseName(targetDirectory);
  keyViolations.SetTableType(type);
  keyViolations.SetTableName(std::move(tableName));
}

KeyViolationCapture::KeyViolationCapture(tables::TTable& source, tables::TTable& target,
                                         tables::TTable& keyViolations)
    : source_(source), target_(target), keyViolations_(keyViolations) {
  target_.SetOnPostError(
      [this](tables::TTable& table, const tables::TableError& error,
             tables::PostErrorAction& action) { TableTargetPostError(table, error, action); });
  keyViolations_.SetOnPostError(&KeyViolationCapture::TableKeyViolPostError);
}

KeyViolationCapture::~KeyViolationCapture() {
  target_.SetOnPostError(nullptr);
  keyViolations_.SetOnPostError(nullptr);
}

void KeyViolationCapture::SetTargetFile(std::string targetDirectory, std::string targetFileName) {
  targetDirectory_ = std::move(targetDirectory);
  targetFileName_ = std::move(targetFileName);
}

void KeyViolationCapture::TableKeyViolPostError(tables::TTable& /*table*/,
                                                const tables::TableError& /*error*/,
                                                tables::PostErrorAction& action) {
  // Its error goes to the target's handler, which stops the run with it: dropping it silently
  // would lose the record.
  action = tables::PostErrorAction::Fail;
}

void KeyViolationCapture::SetUpTable() {
  NameKeyViolationTable(keyViolations_, targetDirectory_, targetFileName_);
  std::vector<tables::FieldDef> fields = target_.FieldDefs();
  for (tables::FieldDef& field : fields)
    field.required = false;
  keyViolations_.FieldDefs() = std::move(fields);
  // No index, so that it never refuses a record for its key.
  keyViolations_.IndexDefs().clear();
  keyViolations_.CreateTable();
  keyViolations_.Open();
}

void KeyViolationCapture::FillKeyViolationRecord() {
  if (record_.fieldNames == nullptr || record_.values == nullptr) return;
  const std::vector<std::string>& names = *record_.fieldNames;
  const std::vector<Value>& values = *record_.values;
  for (std::size_t i = 0; i < names.size() && i < values.size(); ++i) {
    keyViolations_.FieldByName(names[i]).SetValue(values[i]);
  }
}

void KeyViolationCapture::Pack() {
  target_.IndexDefsUpdate();
  if (target_.IndexDefs().empty()) return;  // no key to find the record by
  const std::vector<std::string> keyFields =
      SplitNameList(target_.IndexDefs()[0].fields, kMaxKeyFields + 1);
  if (keyFields.empty() || keyFields.size() > kMaxKeyFields) return;

  std::vector<std::string> keyTexts;
  keyTexts.reserve(keyFields.size());
  for (const std::string& name : keyFields) {
    keyTexts.push_back(keyViolations_.FieldByName(name).AsString());
  }
  target_.SetKey();
  for (std::size_t i = 0; i < keyFields.size(); ++i) {
    target_.FieldByName(keyFields[i]).SetAsString(keyTexts[i]);
  }
  if (!target_.GotoKey()) return;
  for (std::size_t i = 0; i < keyFields.size(); ++i) {
    if (target_.FieldByName(keyFields[i]).AsString() != keyTexts[i]) return;
  }

  target_.Edit();
  for (const std::string& name : packFields_) {
    tables::TField& field = target_.FieldByName(name);
    field.SetValue(PackSum(field.GetValue(), keyViolations_.FieldByName(name).GetValue()));
  }
  target_.Post();
}

void KeyViolationCapture::TableTargetPostError(tables::TTable& /*table*/,
                                               const tables::TableError& error,
                                               tables::PostErrorAction& action) {
  // Not the run's post, the packed record's own post, or a table that failed rather than a
  // record it refused (the disk, the lock): let it raise. Only refused records are captured.
  if (!armed_ || handling_ || dynamic_cast<const tables::RecordRefused*>(&error) == nullptr) {
    action = tables::PostErrorAction::Fail;
    return;
  }
  action = tables::PostErrorAction::Abort;
  handling_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{handling_};

  // The refused record is dropped first, so nothing below can store it in the target.
  target_.Cancel();
  std::exception_ptr failure;
  try {
    if (!keyViolations_.Active()) SetUpTable();
  } catch (...) {
    failure = std::current_exception();
  }
  if (onRefused_) onRefused_();

  // The record is filled completely before anything else may fail, so it is stored whole or not,
  // and it is stored before packing, so that its amounts are never added without it.
  bool stored = false;
  if (!failure) {
    try {
      keyViolations_.Append();
      FillKeyViolationRecord();
      keyViolations_.Post();
      stored = true;
    } catch (const std::exception& kvError) {
      keyViolations_.Cancel();
      std::string text = error.what();
      text.append(", and the key-violation table '")
          .append(keyViolations_.TableName())
          .append("' refused it too: ")
          .append(kvError.what());
      failure = std::make_exception_ptr(tables::TableError(text));
    }
  }
  if (stored && !packFields_.empty()) {
    try {
      Pack();
    } catch (const tables::RecordRefused&) {
      target_.Cancel();  // amounts that cannot be added leave the target record as it was
    } catch (...) {
      target_.Cancel();
      failure = std::current_exception();  // the target failed: the run stops
    }
  }
  source_.Next();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace nox::convert
