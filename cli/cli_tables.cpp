#include "cli/cli_tables.h"

#include <cstdio>
#include <ostream>

#include "host/code_pages.h"
#include "host/date_time.h"
#include "host/messages.h"
#include "host/number_format.h"
#include "tables/table.h"

namespace nox::cli {
namespace {

using tables::FieldType;
using tables::TTable;
using tables::Value;

std::string Utf8(std::string_view bytes) {
  return host::DecodeToUtf8(host::CodePage::Windows1257, bytes);
}

std::string IsoDate(double dateTime) {
  const host::CivilDate date = host::DecodeDate(dateTime);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

std::string ClockTime(double dateTime) {
  int hour = 0, minute = 0, second = 0, msec = 0;
  host::DecodeTime(dateTime, hour, minute, second, msec);
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, minute, second);
  return text;
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text = "0x";
  for (unsigned char byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

// A text as the dump writes it: decoded from Windows-1257 into UTF-8 (a byte the code page has no
// character for becomes U+FFFD), or byte for byte in the raw dump.
std::string DumpedText(std::string_view bytes, bool raw) {
  return raw ? std::string(bytes) : Utf8(bytes);
}

// A value as the dump writes it: independent of the host's formats.
std::string DumpText(FieldType type, const Value& value, bool raw) {
  switch (value.kind()) {
    case Value::Kind::Null:
      return {};
    case Value::Kind::Integer:
      return std::to_string(value.integer());
    case Value::Kind::Float:
    case Value::Kind::Currency:
      return host::FormatGeneral(value.number(), '.');
    case Value::Kind::Boolean:
      return value.boolean() ? "T" : "F";
    case Value::Kind::Date: {
      if (type == FieldType::Date) return IsoDate(value.number());
      if (type == FieldType::Time) return ClockTime(value.number());
      // A time stamp has both parts, also at midnight: one column, one form.
      return IsoDate(value.number()) + " " + ClockTime(value.number());
    }
    case Value::Kind::Text:
      if (type == FieldType::Blob || type == FieldType::Graphic || type == FieldType::Ole ||
          type == FieldType::Bytes) {
        return Hex(value.text());
      }
      return DumpedText(value.text(), raw);
  }
  return {};
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

const char* TypeName(tables::TableType type) {
  return type == tables::TableType::DBase ? "dBase" : "Paradox";
}

template <typename Body>
int WithTable(const std::string& path, std::ostream& err, Body body) {
  try {
    TTable table;
    table.SetTableName(path);
    table.Open();
    body(table);
    table.Close();
    return 0;
  } catch (const std::exception& error) {
    err << "noxconv: " << host::TerminalText(error.what()) << "\n";
    return 1;
  }
}

}  // namespace

int RunTableInfo(const std::string& path, std::ostream& out, std::ostream& err) {
  return WithTable(path, err, [&](TTable& table) {
    out << "Table: " << Utf8(path) << "\n";
    out << "Type: " << TypeName(table.Storage()->type()) << "\n";
    out << "Level: " << table.Storage()->formatLevel() << "\n";
    out << "Records: " << table.QuickRecordCount() << "\n";
    if (const std::string faults = table.Storage()->faults(); !faults.empty()) {
      out << "Damaged: " << Utf8(faults) << " (read as far as it goes; changes are refused)\n";
    }
    const auto& indexes = table.IndexDefs();
    const bool keyed = !indexes.empty() && (indexes[0].options & tables::ixPrimary) != 0;
    out << "Key: " << (keyed ? Utf8(indexes[0].fields) : std::string("(none)")) << "\n";
    for (std::size_t i = keyed ? 1 : 0; i < indexes.size(); ++i) {
      out << "Index: " << Utf8(indexes[i].name) << " (" << Utf8(indexes[i].fields) << ")\n";
    }
    out << "Fields:\n";
    for (int i = 0; i < table.FieldCount(); ++i) {
      const tables::TField& field = table.Fields(i);
      out << "  " << Utf8(field.FieldName()) << " " << tables::FieldTypeName(field.DataType())
          << " " << field.Size() << (field.Required() ? " required" : "") << "\n";
    }
  });
}

int RunTableDump(const std::string& path, bool raw, std::ostream& out, std::ostream& err) {
  std::string faults;
  const int status = WithTable(path, err, [&](TTable& table) {
    faults = table.Storage()->faults();
    if (!faults.empty()) {
      err << "noxconv: warning: table '" << host::TerminalText(path)
          << "' is damaged: " << host::TerminalText(faults)
          << "; only the records that can be read are written\n";
    }
    for (int i = 0; i < table.FieldCount(); ++i) {
      out << (i > 0 ? "," : "") << CsvField(DumpedText(table.Fields(i).FieldName(), raw));
    }
    out << "\n";
    for (table.First(); !table.Eof(); table.Next()) {
      for (int i = 0; i < table.FieldCount(); ++i) {
        const tables::TField& field = table.Fields(i);
        out << (i > 0 ? "," : "") << CsvField(DumpText(field.DataType(), field.GetValue(), raw));
      }
      out << "\n";
    }
  });
  return status == 0 && !faults.empty() ? 1 : status;  // a short dump is no success
}

}  // namespace nox::cli
