// make_examples: writes the bundled example (source tables with Latvian texts in the DOS codes,
// empty targets and the descriptions that convert them) into a directory, or the large source and
// descriptions the conversion benchmark runs on (the mapping into dBase and into keyed Paradox,
// and a plain copy).
//
//   make_examples DIR                      the example tables and descriptions
//   make_examples --bench DIR RECORDS      a dBase source of RECORDS records, empty dBase targets
//                                          and an empty keyed Paradox target, three descriptions
//
// Descriptions name their tables without a directory: the engine resolves such paths against the
// current directory, so a conversion runs from inside DIR.

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "convert/description_file.h"
#include "formula/latvian.h"
#include "host/code_pages.h"
#include "host/date_time.h"
#include "tables/storage.h"
#include "tables/table.h"

namespace {

namespace fs = std::filesystem;
using nox::convert::DescriptionLine;
using nox::convert::DescriptionText;
using nox::convert::RelationLine;
using nox::tables::FieldDef;
using nox::tables::FieldType;
using nox::tables::IndexDef;
using nox::tables::Record;
using nox::tables::TTable;
using nox::tables::Value;

// A UTF-8 text as the older programs stored it: Windows-1257 with the Latvian letters moved to
// their DOS codes.
std::string DosText(std::string_view utf8) {
  const auto windows = nox::host::EncodeUtf8(nox::host::CodePage::Windows1257, utf8);
  if (!windows)
    throw std::invalid_argument("no Windows-1257 form for \"" + std::string(utf8) + '"');
  return nox::formula::LatvianWinToDos(*windows);
}

Value DateValue(int year, int month, int day) {
  return Value::Date(nox::host::EncodeDate({year, month, day}));
}

FieldDef DbaseField(std::string name, char code, int width, int decimals = 0) {
  FieldDef def;
  def.name = std::move(name);
  def.nativeType = code;
  def.nativeWidth = width;
  def.nativeDecimals = decimals;
  return def;
}

FieldDef ParadoxField(std::string name, FieldType type, int size = 0) {
  FieldDef def;
  def.name = std::move(name);
  def.type = type;
  def.size = size;
  return def;
}

// Creates a table (replacing one of that name) and appends the records through the engine.
void WriteTable(const fs::path& path, const std::vector<FieldDef>& fields,
                const std::vector<IndexDef>& indexes, const std::vector<Record>& records) {
  TTable table;
  table.SetTableName(path.string());
  table.FieldDefs() = fields;
  table.IndexDefs() = indexes;
  table.CreateTable();
  table.Open();
  for (const Record& record : records) {
    table.Append();
    for (std::size_t i = 0; i < record.size(); ++i)
      table.Fields(static_cast<int>(i)).SetValue(record[i]);
    table.Post();
  }
  table.Close();
}

struct Relation {
  std::string source;  // empty for a formula relation
  std::string target;
  std::string formula;
};

void WriteDescription(const fs::path& path, std::string_view source, std::string_view target,
                      std::string_view packFields, bool clearTarget, std::string_view filter,
                      bool latvian, const std::vector<Relation>& relations) {
  DescriptionText text = DescriptionText::NewTemplate(source, target);
  text.SetValue(DescriptionLine::PackFields, packFields);
  text.SetValue(DescriptionLine::ClearTarget, clearTarget ? "TRUE" : "FALSE");
  text.SetValue(DescriptionLine::Filter, filter);
  text.SetValue(DescriptionLine::Latvian, latvian ? "TRUE" : "FALSE");
  for (const Relation& relation : relations) {
    const RelationLine line = relation.source.empty()
                                  ? RelationLine::Formula(relation.target, relation.formula)
                                  : RelationLine::Field(relation.source, relation.target);
    text.lines.push_back(line.Format());
  }
  text.WriteFile(path);
}

// --- The example ---

struct Customer {
  int code;
  const char* name;
  const char* city;
  int qty;
  double price;
  int year, month, day;
  bool active;
};

// Duplicate codes (104, 107, 112, 118) meet the target's key; QTY 0 fails the filter.
constexpr Customer kCustomers[] = {
    {101, "Bērziņš Jānis", "Rīga", 5, 12.50, 2001, 3, 14, true},
    {102, "Ozoliņa Anna", "Liepāja", 2, 7.25, 1999, 11, 2, true},
    {103, "Kalniņš Pēteris", "Daugavpils", 0, 3.10, 2004, 1, 30, false},
    {104, "Liepiņa Ilze", "Jēkabpils", 8, 1.99, 2003, 6, 1, true},
    {105, "Žagars Māris", "Cēsis", 1, 120.00, 2000, 2, 29, false},
    {106, "Ābele Līga", "Rīga", 3, 45.60, 2002, 9, 17, true},
    {107, "Čakste Ēriks", "Liepāja", 12, 0.75, 1998, 12, 31, true},
    {104, "Liepiņa Ilze", "Jēkabpils", 4, 1.99, 2003, 6, 1, true},
    {108, "Ņikitins Oļegs", "Daugavpils", 6, 19.90, 2005, 4, 8, false},
    {109, "Putniņš Ģirts", "Cēsis", 0, 5.00, 2001, 7, 21, true},
    {110, "Eglīte Rūta", "Rīga", 7, 8.80, 1997, 5, 5, true},
    {111, "Krūmiņš Kārlis", "Jēkabpils", 9, 2.35, 2006, 10, 10, false},
    {112, "Vītola Dace", "Liepāja", 1, 99.99, 2004, 8, 15, true},
    {107, "Čakste Ēriks", "Liepāja", 3, 0.75, 1998, 12, 31, true},
    {113, "Zariņa Aija", "Rīga", 10, 4.40, 2002, 2, 2, true},
    {114, "Pētersons Gunārs", "Daugavpils", 2, 33.33, 1996, 1, 1, false},
    {115, "Siliņa Ieva", "Cēsis", 0, 6.66, 2007, 3, 3, true},
    {116, "Grīnbergs Uldis", "Rīga", 4, 15.15, 2003, 11, 11, true},
    {117, "Jansone Baiba", "Jēkabpils", 5, 2.00, 2000, 6, 30, false},
    {112, "Vītola Dace", "Liepāja", 2, 99.99, 2004, 8, 15, true},
    {118, "Lāce Maija", "Rīga", 11, 1.10, 1995, 4, 4, true},
    {119, "Ķēniņš Valdis", "Liepāja", 6, 27.50, 2001, 12, 24, true},
    {120, "Strazdiņa Kristīne", "Daugavpils", 0, 10.00, 2005, 5, 25, false},
    {121, "Ūdris Raimonds", "Cēsis", 3, 3.75, 1999, 9, 9, true},
    {118, "Lāce Maija", "Rīga", 1, 1.10, 1995, 4, 4, true},
    {122, "Dzērve Inese", "Rīga", 8, 12.00, 2006, 7, 7, true},
    {123, "Mežulis Andris", "Jēkabpils", 2, 55.50, 2002, 10, 31, false},
    {124, "Celmiņa Zane", "Liepāja", 9, 0.99, 2004, 2, 14, true},
    {125, "Gailītis Edgars", "Daugavpils", 4, 18.25, 1998, 8, 8, true},
    {126, "Rozīte Elīna", "Cēsis", 1, 250.00, 2007, 1, 15, true},
};

struct Order {
  int number;
  int code;
  double amount;
  int year, month, day;
  const char* note;
};

// Several orders per customer code; the table has no key.
constexpr Order kOrders[] = {
    {5001, 101, 125.00, 2004, 1, 15, "Piegāde uz Rīgu"},
    {5002, 104, 18.90, 2004, 1, 31, "Ātrā piegāde"},
    {5003, 101, 42.10, 2004, 2, 29, "Rēķins pa pastu"},
    {5004, 107, 7.50, 2004, 3, 1, "Saņēma klients"},
    {5005, 110, 310.00, 2004, 3, 31, "Līgums Nr. 17"},
    {5006, 104, 66.60, 2004, 4, 12, "Atlaide 5%"},
    {5007, 112, 999.99, 2004, 5, 31, "Priekšapmaksa"},
    {5008, 118, 12.00, 2004, 6, 30, "Piegāde uz Cēsīm"},
    {5009, 107, 81.25, 2004, 7, 4, "Garantija 2 gadi"},
    {5010, 122, 5.05, 2004, 8, 31, "Ķīmiskā tīrīšana"},
    {5011, 101, 150.00, 2004, 9, 15, "Atkārtots pasūtījums"},
    {5012, 125, 23.40, 2004, 10, 31, "Žurnālu abonements"},
    {5013, 113, 77.70, 2004, 11, 30, "Ģimenes atlaide"},
    {5014, 112, 14.14, 2004, 12, 24, "Ziemassvētku dāvana"},
    {5015, 126, 480.00, 2005, 1, 31, "Ēdināšana"},
};

void MakeExample(const fs::path& dir) {
  std::vector<Record> customers;
  for (const Customer& c : kCustomers) {
    customers.push_back({Value::Integer(c.code), Value::Text(DosText(c.name)),
                         Value::Text(DosText(c.city)), Value::Integer(c.qty), Value::Float(c.price),
                         DateValue(c.year, c.month, c.day), Value::Boolean(c.active)});
  }
  WriteTable(dir / "CUSTOMER.DBF",
             {DbaseField("CODE", 'N', 6), DbaseField("NAME", 'C', 30), DbaseField("CITY", 'C', 20),
              DbaseField("QTY", 'N', 6), DbaseField("PRICE", 'N', 12, 2),
              DbaseField("SINCE", 'D', 8), DbaseField("ACTIVE", 'L', 1)},
             {}, customers);

  std::vector<Record> orders;
  for (const Order& o : kOrders) {
    orders.push_back({Value::Integer(o.number), Value::Integer(o.code), Value::Float(o.amount),
                      DateValue(o.year, o.month, o.day), Value::Text(DosText(o.note))});
  }
  WriteTable(dir / "ORDERS.DB",
             {ParadoxField("ORDERNO", FieldType::Integer), ParadoxField("CODE", FieldType::Integer),
              ParadoxField("AMOUNT", FieldType::Float), ParadoxField("ODATE", FieldType::Date),
              ParadoxField("NOTE", FieldType::String, 30)},
             {}, orders);

  WriteTable(
      dir / "CLIENTS.DB",
      {ParadoxField("CODE", FieldType::Integer), ParadoxField("NAME", FieldType::String, 30),
       ParadoxField("CITY", FieldType::String, 20), ParadoxField("QTY", FieldType::Integer),
       ParadoxField("TOTAL", FieldType::Float), ParadoxField("SINCE", FieldType::Date),
       ParadoxField("NOTE", FieldType::String, 60), ParadoxField("TAG", FieldType::String, 1)},
      {{"", "CODE", nox::tables::ixPrimary | nox::tables::ixUnique}}, {});

  WriteTable(
      dir / "ORDSUM.DBF",
      {DbaseField("ORDERNO", 'N', 8), DbaseField("CODE", 'N', 6), DbaseField("AMOUNT", 'N', 12, 2),
       DbaseField("VAT", 'N', 12, 2), DbaseField("ODATE", 'D', 8), DbaseField("DUE", 'D', 8),
       DbaseField("PERIOD", 'C', 7), DbaseField("NOTE", 'C', 30)},
      {}, {});

  WriteDescription(dir / "customers.cnv", "CUSTOMER.DBF", "CLIENTS.DB", "QTY;TOTAL", true,
                   "QTY > 0", true,
                   {{"CODE", "CODE", ""},
                    {"NAME", "NAME", ""},
                    {"CITY", "CITY", ""},
                    {"QTY", "QTY", ""},
                    {"SINCE", "SINCE", ""},
                    {"", "TOTAL", "ROUND(QTY*PRICE,2)"},
                    {"", "NOTE", "ALLTRIM(NAME)+', '+ALLTRIM(CITY)"},
                    {"", "TAG", "IF(PRICE>50,'A',IF(QTY>=5,'B','C'))"}});
  WriteDescription(dir / "orders.cnv", "ORDERS.DB", "ORDSUM.DBF", "", true, "", true,
                   {{"ORDERNO", "ORDERNO", ""},
                    {"CODE", "CODE", ""},
                    {"AMOUNT", "AMOUNT", ""},
                    {"ODATE", "ODATE", ""},
                    {"NOTE", "NOTE", ""},
                    {"", "VAT", "ROUND(AMOUNT*0.21,2)"},
                    {"", "DUE", "ADDMONTH(ODATE,1)"},
                    {"", "PERIOD", "MONTHSTR(ODATE)+'.'+RIGHT(DTOC(ODATE),4)"}});
}

// --- The benchmark's tables ---

const std::vector<FieldDef>& BenchSourceFields() {
  static const std::vector<FieldDef> fields = {
      DbaseField("CODE", 'N', 9),  DbaseField("NAME", 'C', 30),     DbaseField("CITY", 'C', 20),
      DbaseField("QTY", 'N', 9),   DbaseField("PRICE", 'N', 12, 2), DbaseField("DAY", 'D', 8),
      DbaseField("ACTIVE", 'L', 1)};
  return fields;
}

// The source streams straight into the storage: a million records through TTable would only
// measure the generator.
void WriteBenchSource(const fs::path& path, std::int64_t records) {
  auto storage = nox::tables::CreateDbaseStorage(path, BenchSourceFields(), {});
  const double firstDay = nox::host::EncodeDate({2024, 1, 1});
  static constexpr const char* kCities[] = {"Riga", "Liepaja", "Daugavpils", "Jekabpils", "Cesis"};
  Record record(7);
  for (std::int64_t i = 0; i < records; ++i) {
    record[0] = Value::Integer(i);
    record[1].setText("  Customer name " + std::to_string(i % 1000) + "  ");
    record[2].setText(kCities[i % 5]);
    record[3] = Value::Integer(i % 10);  // one in ten fails the filter QTY > 0
    record[4] = Value::Float(static_cast<double>(i % 100000) / 100.0);
    record[5] = Value::Date(firstDay + static_cast<double>(i % 365));
    record[6] = Value::Boolean(i % 2 == 0);
    storage->appendRecord(record);
  }
  storage->flush();
}

void MakeBench(const fs::path& dir, std::int64_t records) {
  WriteBenchSource(dir / "BSOURCE.DBF", records);
  WriteTable(dir / "BTARGET.DBF",
             {DbaseField("CODE", 'N', 9), DbaseField("NAME", 'C', 30), DbaseField("SHORT", 'C', 20),
              DbaseField("QTY", 'N', 9), DbaseField("PRICE", 'N', 12, 2), DbaseField("DAY", 'D', 8),
              DbaseField("ACTIVE", 'L', 1)},
             {}, {});
  WriteTable(dir / "BKEYED.DB",
             {ParadoxField("CODE", FieldType::Integer), ParadoxField("NAME", FieldType::String, 30),
              ParadoxField("SHORT", FieldType::String, 20), ParadoxField("QTY", FieldType::Integer),
              ParadoxField("PRICE", FieldType::Float), ParadoxField("DAY", FieldType::Date),
              ParadoxField("ACTIVE", FieldType::Boolean)},
             {{"", "CODE", nox::tables::ixPrimary | nox::tables::ixUnique}}, {});
  const std::vector<Relation> relations = {{"CODE", "CODE", ""},
                                           {"DAY", "DAY", ""},
                                           {"ACTIVE", "ACTIVE", ""},
                                           {"", "NAME", "ALLTRIM(NAME)"},
                                           {"", "SHORT", "SUBSTR(CITY,1,3)+'-'+STR(CODE)"},
                                           {"", "QTY", "QTY*2"},
                                           {"", "PRICE", "ROUND(PRICE*1.21,2)"}};
  WriteDescription(dir / "bench_dbf.cnv", "BSOURCE.DBF", "BTARGET.DBF", "", true, "QTY > 0", false,
                   relations);
  WriteDescription(dir / "bench_db.cnv", "BSOURCE.DBF", "BKEYED.DB", "", true, "QTY > 0", false,
                   relations);
  // The plain copy: every field to its namesake, no formula, no filter.
  WriteTable(dir / "BCOPY.DBF", BenchSourceFields(), {}, {});
  std::vector<Relation> copy;
  for (const FieldDef& field : BenchSourceFields())
    copy.push_back({field.name, field.name, ""});
  WriteDescription(dir / "bench_copy.cnv", "BSOURCE.DBF", "BCOPY.DBF", "", true, "", false, copy);
}

int Usage() {
  std::cerr << "Usage: make_examples DIR\n"
               "       make_examples --bench DIR RECORDS\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  try {
    if (args.size() == 1 && !args[0].starts_with("--")) {
      fs::create_directories(args[0]);
      MakeExample(args[0]);
      return 0;
    }
    if (args.size() == 3 && args[0] == "--bench") {
      std::int64_t records = 0;
      const auto [end, error] =
          std::from_chars(args[2].data(), args[2].data() + args[2].size(), records);
      if (error != std::errc() || end != args[2].data() + args[2].size() || records < 0) {
        std::cerr << "make_examples: RECORDS must be a whole number, not '" << args[2] << "'\n";
        return 2;
      }
      fs::create_directories(args[1]);
      MakeBench(args[1], records);
      return 0;
    }
    return Usage();
  } catch (const std::exception& error) {
    std::cerr << "make_examples: " << error.what() << "\n";
    return 1;
  }
}
