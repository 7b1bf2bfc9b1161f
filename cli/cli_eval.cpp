#include "cli/cli_eval.h"

#include <memory>
#include <optional>
#include <ostream>

#include "formula/exchange_rate.h"
#include "formula/formula.h"
#include "formula/translator.h"
#include "host/code_pages.h"
#include "host/messages.h"
#include "tables/table.h"

namespace nox::cli {
namespace {

using host::CodePage;

std::string Utf8(std::string_view bytes) {
  return host::DecodeToUtf8(CodePage::Windows1257, bytes);
}

struct EvalArguments {
  std::string formula;
  std::optional<std::string> source;
  bool trace = false;
};

std::optional<EvalArguments> ParseArguments(const std::vector<std::string>& args,
                                            std::ostream& err) {
  if (args.empty()) {
    err << "noxconv: --eval needs a formula\n";
    return std::nullopt;
  }
  EvalArguments parsed;
  const std::optional<std::string> formula = host::EncodeUtf8(CodePage::Windows1257, args[0]);
  if (!formula) {
    err << "noxconv: the formula holds characters that Windows-1257 cannot write\n";
    return std::nullopt;
  }
  parsed.formula = *formula;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--trace") {
      parsed.trace = true;
    } else if (args[i] == "--source" && i + 1 < args.size() && !parsed.source) {
      parsed.source = args[++i];
    } else {
      err << "noxconv: --eval: unexpected argument '" << args[i] << "'\n";
      return std::nullopt;
    }
  }
  return parsed;
}

void PrintLists(std::ostream& out, std::string_view label, const formula::TokenList& tokens,
                const formula::TypeList& types) {
  out << label << ": " << Utf8(formula::TokenTagPairs(tokens, types)) << "\n";
}

}  // namespace

int RunEval(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::optional<EvalArguments> parsed = ParseArguments(args, err);
  if (!parsed) return 2;
  // GETKURS reads the rate table a run reads; it is opened only when a rate is needed.
  tables::TTable rates;
  formula::ConfigureExchangeRateTable(rates);
  formula::SetExchangeRateTable(&rates);
  struct RatesBack {
    ~RatesBack() { formula::SetExchangeRateTable(nullptr); }
  } ratesBack;
  try {
    std::unique_ptr<tables::TTable> source;
    if (parsed->source) {
      source = std::make_unique<tables::TTable>();
      source->SetTableName(*parsed->source);
      source->Open();  // shared: other programs may go on using the table
      if (source->Eof()) {
        err << "noxconv: " << *parsed->source << ": the table has no record to evaluate against\n";
        return 1;
      }
    }
    if (parsed->trace) {
      formula::TokenList tokens;
      formula::TypeList types;
      formula::TranslateFormula(parsed->formula, tokens, types);
      PrintLists(out, "translated", tokens, types);
    }
    try {
      const formula::FormulaValue value =
          formula::EvaluateFormula(parsed->formula, source.get(), nullptr);
      if (parsed->trace) PrintLists(out, "reduced", formula::WorkTokens(), formula::WorkTypes());
      out << Utf8(value) << "\n";
      // Reduced to one token or none, or not at all (the warning is out already).
      return formula::WorkTokens().size() >= 2 ? 1 : 0;
    } catch (const formula::FormulaError&) {
      if (parsed->trace) PrintLists(out, "reduced", formula::WorkTokens(), formula::WorkTypes());
      throw;
    }
  } catch (const std::exception& error) {
    err << "noxconv: " << host::TerminalText(error.what()) << "\n";
    return 1;
  }
}

}  // namespace nox::cli
