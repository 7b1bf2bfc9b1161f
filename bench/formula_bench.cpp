// Formula evaluations per second: CalculateFormula on lists translated once, against the current
// record of a small dBase table, as the conversion run does for every source record.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "formula/compiled_formula.h"
#include "formula/formula.h"
#include "tables/table.h"

namespace {

namespace fs = std::filesystem;
using nox::tables::FieldType;
using nox::tables::Value;

// One record: NAME "  Smith  ", N 7, QTY 3, PRICE 12.5, CITY "Riga".
class BenchRecord {
 public:
  BenchRecord()
      : dir_(fs::temp_directory_path() / ("nox_formula_bench_" + std::to_string(getpid()))) {
    fs::create_directories(dir_);
    table.SetTableName((dir_ / "RECORD.DBF").string());
    table.FieldDefs() = {{"NAME", FieldType::String, 20},
                         {"N", FieldType::Integer, 0, false, 'N', 6, 0},
                         {"QTY", FieldType::Integer, 0, false, 'N', 6, 0},
                         {"PRICE", FieldType::Float, 0, false, 'N', 10, 2},
                         {"CITY", FieldType::String, 20}};
    table.CreateTable();
    table.Open();
    table.Append();
    table.FieldByName("NAME").SetValue(Value::Text("  Smith  "));
    table.FieldByName("N").SetValue(Value::Integer(7));
    table.FieldByName("QTY").SetValue(Value::Integer(3));
    table.FieldByName("PRICE").SetValue(Value::Float(12.5));
    table.FieldByName("CITY").SetValue(Value::Text("Riga"));
    table.Post();
    table.First();
  }
  ~BenchRecord() {
    table.Close();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  BenchRecord(const BenchRecord&) = delete;
  BenchRecord& operator=(const BenchRecord&) = delete;

  nox::tables::TTable table;

 private:
  fs::path dir_;
};

BenchRecord& Record() {
  static BenchRecord record;
  return record;
}

void BM_CalculateFormula(benchmark::State& state, const char* formula) {
  nox::formula::TokenList tokens;
  nox::formula::TypeList types;
  nox::formula::TranslateFormula(formula, tokens, types);
  nox::tables::TTable& table = Record().table;
  for (auto _ : state) {
    benchmark::DoNotOptimize(nox::formula::CalculateFormula(tokens, types, &table, nullptr));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.SetLabel(nox::formula::CalculateFormula(tokens, types, &table, nullptr));
}

void BM_EvaluateFormulaCached(benchmark::State& state, const char* formula) {
  nox::tables::TTable& table = Record().table;
  for (auto _ : state) {
    benchmark::DoNotOptimize(nox::formula::EvaluateFormula(formula, &table, nullptr));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// The conversion run's way: compiled once, replayed record after record.
void BM_CompiledFormula(benchmark::State& state, const char* formula) {
  nox::formula::TokenList tokens;
  nox::formula::TypeList types;
  nox::formula::TranslateFormula(formula, tokens, types);
  nox::formula::CompiledFormula compiled(tokens, types);
  nox::tables::TTable& table = Record().table;
  for (auto _ : state) {
    benchmark::DoNotOptimize(compiled.Calculate(&table, nullptr));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.SetLabel(compiled.Calculate(&table, nullptr));
}

}  // namespace

BENCHMARK_CAPTURE(BM_CalculateFormula, Alltrim, "ALLTRIM(NAME)");
BENCHMARK_CAPTURE(BM_CalculateFormula, PadlStr, "PADL(STR(N),5,'0')");
BENCHMARK_CAPTURE(BM_CalculateFormula, If, "IF(QTY>0,'Y','N')");
BENCHMARK_CAPTURE(BM_CalculateFormula, Round, "ROUND(PRICE*1.21,2)");
BENCHMARK_CAPTURE(BM_CalculateFormula, SubstrConcat, "SUBSTR(CITY,1,3)+'-'+STR(N)");
BENCHMARK_CAPTURE(BM_CalculateFormula, Casestr,
                  "CASESTR(STR(N),[1;7;9],['one';'seven';'nine'],'?')");
BENCHMARK_CAPTURE(BM_CalculateFormula, Arithmetic, "(QTY+1)*N-PRICE/2");
BENCHMARK_CAPTURE(BM_EvaluateFormulaCached, Alltrim, "ALLTRIM(NAME)");

BENCHMARK_CAPTURE(BM_CompiledFormula, Alltrim, "ALLTRIM(NAME)");
BENCHMARK_CAPTURE(BM_CompiledFormula, SubstrConcat, "SUBSTR(CITY,1,3)+'-'+STR(N)");
BENCHMARK_CAPTURE(BM_CompiledFormula, Product, "QTY*2");
BENCHMARK_CAPTURE(BM_CompiledFormula, Round, "ROUND(PRICE*1.21,2)");
BENCHMARK_CAPTURE(BM_CompiledFormula, Arithmetic, "(QTY+1)*N-PRICE/2");

BENCHMARK_MAIN();
