// Generates a formula from the fuzz bytes by the language's grammar and calculates it with the
// calculator and as a compiled formula on every record of a fixed table: any disagreement in
// value, tag, error or message aborts.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "fuzz/formula_differential.h"
#include "host/host_formats.h"
#include "tables/storage.h"

namespace {

nox::tables::TTable& Table() {
  static const std::unique_ptr<nox::tables::TTable> table = [] {
    nox::host::HostFormats::SetShortDateFormat(nox::host::DateFormat::Parse("dd.mm.yyyy"));
    nox::host::HostFormats::SetDecimalSeparator('.');
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "nox_fuzz_formula_diff.db";
    auto storage =
        nox::tables::CreateParadoxStorage(path, nox::formula::differential::Fields(), {});
    for (const nox::tables::Record& record : nox::formula::differential::Records())
      storage->appendRecord(record);
    storage->flush();
    auto made = std::make_unique<nox::tables::TTable>();
    made->OpenOnStorage(std::move(storage));
    return made;
  }();
  return *table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  nox::formula::differential::Choices choices({data, size});
  const std::string formula = nox::formula::differential::Formula(choices);
  const std::string disagreement = nox::formula::differential::Disagreement(formula, Table());
  if (!disagreement.empty()) {
    std::fprintf(stderr, "disagreement: %s\n", disagreement.c_str());
    std::abort();
  }
  return 0;
}
