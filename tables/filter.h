#pragma once
// The table engine's filter expressions: a condition over the fields of one record, translated
// once when a filter is set and then tested on every record of a scan.
//
// Field names are resolved to positions and literals converted to the types they are compared
// with while translating, so testing a record does no name look-up, no parsing and, for the usual
// comparisons of a field with a literal, no allocation. The syntax is described in the README.

#include <memory>
#include <string_view>
#include <vector>

#include "tables/field_defs.h"
#include "tables/storage.h"

namespace nox::tables {

namespace detail {
class FilterNode;
}

class FilterExpression {
 public:
  // The empty filter, which every record passes.
  FilterExpression();
  ~FilterExpression();
  FilterExpression(FilterExpression&&) noexcept;
  FilterExpression& operator=(FilterExpression&&) noexcept;

  // Translates a filter for a table with these fields (names compared without regard to case).
  // A blank text gives the empty filter. A faulty text raises TableError with a message that
  // quotes the text and gives the position (from 1) of the fault.
  static FilterExpression Parse(std::string_view text, const std::vector<FieldDef>& fields);

  bool IsEmpty() const { return root_ == nullptr; }

  // Whether a record (one value per field, in field order) passes. Only a condition that is true
  // passes: unknown (a null involved) and a division by zero fail. Texts computed by functions
  // reuse buffers of the expression, so one expression is not tested from two threads at once.
  bool Matches(const Record& record) const;
  // The positions of the fields it reads, ascending: Matches looks at no other value.
  const std::vector<int>& Fields() const { return fields_; }

 private:
  FilterExpression(std::unique_ptr<detail::FilterNode> root, std::vector<int> fields);

  std::unique_ptr<detail::FilterNode> root_;
  std::vector<int> fields_;
};

}  // namespace nox::tables
