#pragma once
// The incremental search of the lookup controls: each typed character moves the table to the
// first record whose key begins with the text typed so far. It is made for codes stored
// right-aligned (padded with leading blanks), which are tried with every count of leading blanks,
// for number codes, tried with every count of trailing zeros, and for the Latvian letters of
// Windows-1257, compared without regard to case. No windows here.

#include <optional>
#include <string>
#include <string_view>

#include "tables/table.h"

namespace nox::controls {

// A blank typed into the search text is held as this character, so that it shows.
inline constexpr char kSearchBlank = static_cast<char>(149);

// The upper case of a Windows-1257 byte as the search compares: a to z and the eleven Latvian
// letters ā č ē ģ ī ķ ļ ņ š ū ž; every other byte stays.
unsigned char SearchUpper(unsigned char byte);
// The other case of one of the Latvian letters (either case); nothing for any other byte.
std::optional<unsigned char> LatvianOtherCase(unsigned char byte);

class TIncrementalSearch {
 public:
  // The text typed so far (blanks as kSearchBlank).
  const std::string& Text() const { return text_; }
  void Clear() { text_.clear(); }
  // Adds a typed character without searching (a column without an index to search).
  void Extend(char typed) { text_ += typed == ' ' ? kSearchBlank : typed; }
  void Backspace() {
    if (!text_.empty()) text_.pop_back();
  }

  // The value of the master link field that leads the index: the search then looks within the
  // detail records of that master record, on the index's second field.
  void SetMasterValue(std::optional<tables::Value> value) { masterValue_ = std::move(value); }

  // One typed character. On a table without an index it only extends the text. Otherwise the
  // table moves to the first record whose key field begins with the text plus the character;
  // when none does it goes back to where it was and the text stays. Gives true when the text grew
  // (the character may then be the other case of a Latvian letter). Raises tables::TableError.
  bool Type(tables::TTable& table, char typed);

 private:
  // Moves to the nearest record for the key; true when its key field begins with the prefix.
  bool TryKey(tables::TTable& table, tables::TField& field, const std::string& key,
              std::string_view prefix);
  bool TryKey(tables::TTable& table, tables::TField& field, const std::string& key) {
    return TryKey(table, field, key, key);
  }
  // A number key is searched as a number: typed digits d find the nearest number above d, which
  // need not begin with d (11 finds 101 before 110). The digits followed by every count of zeros
  // are tried in turn; the first count that finds a number beginning with them finds the smallest.
  bool TryNumberPrefix(tables::TTable& table, tables::TField& field, const std::string& digits);

  std::string text_;
  std::optional<tables::Value> masterValue_;
};

}  // namespace nox::controls
