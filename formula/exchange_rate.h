#pragma once
// The exchange-rate lookup behind GETKURS: the rate of a currency valid on a date, read from the
// rate table (one record per currency and validity period: ValKod, DataNach, DataKon, ValKurs,
// ValKf).

#include <string_view>

#include "host/host_formats.h"

namespace nox::tables {
class TTable;
}

namespace nox::formula {

// Where the workspace finds the rate table and the order the lookup needs: by currency code,
// then period end, so that a search for (code, date) lands on the first period ending on or
// after the date.
inline constexpr std::string_view kExchangeRateAlias = "Vexal";
inline constexpr std::string_view kExchangeRateTableName = "KursVal.DB";
inline constexpr std::string_view kExchangeRateIndexFields = "ValKod;DataKon";

// Names a closed table object as the rate table: the alias, the table name and the lookup's order.
void ConfigureExchangeRateTable(tables::TTable& table);

// The rate table GETKURS reads (not owned; null until the workspace hands one over). The lookup
// opens it at the first rate it needs and leaves it open.
void SetExchangeRateTable(tables::TTable* table);
tables::TTable* ExchangeRateTable();

// Units of the base currency per unit of the currency code on the date, with at most nine
// decimals: 1 for a blank code (the table is not touched, and may be null), 0 when no period of
// that code (compared exactly) holds the date. Raises FormulaError without a table, the table
// engine's error when the table cannot be opened, and FormulaError for a ValKf of zero or empty
// or an empty ValKurs. The table's current record moves.
long double GetExchangeRate(std::string_view code, tables::TTable* table,
                            const host::CivilDate& date);

}  // namespace nox::formula
