#pragma once
// A small text library: searching, cutting, padding and token handling on single-byte texts.
// The formula functions of the same names apply these, and other parts of the system use them
// directly (list filters replace "%S" with StrTran, the base form splits texts with Token).
//
// Positions count from 1. Every position and count is defined for any value, negative or huge
// (the formula language's whole numbers are 32-bit): out-of-range positions clip to the text.
//
// Occurrences of a search text are found from the left and never overlap; an empty search text
// has no occurrences.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace nox::formula {

// The longest text the library builds. A longer result raises std::length_error naming its size,
// so that a formula such as REPLICATE('x', 2000000000) fails clearly instead of exhausting memory.
inline constexpr std::size_t kMaxTextLength = std::size_t{64} * 1024 * 1024;
// Raises that std::length_error when a result of the length would be longer.
void RequireBuildable(std::int64_t length);

// Characters with codes 0 to 32 count as blank.
bool IsBlankChar(char c);
// True when the text is empty or holds only blank characters (EMPTY).
bool IsBlankText(std::string_view s);
std::string_view TrimText(std::string_view s);       // ALLTRIM
std::string_view TrimLeftText(std::string_view s);   // LTRIM
std::string_view TrimRightText(std::string_view s);  // RTRIM

// count characters from position start; empty when s is empty, count is negative or start lies
// beyond the end; a start below 1 counts as 1 without shortening count (SUBSTR).
std::string_view SubStr(std::string_view s, std::int64_t start, std::int64_t count);
// The last n characters (all of s when n exceeds its length, empty when n is 0 or less).
std::string_view Right(std::string_view s, std::int64_t n);

// t written n times (empty for n of 0 or less).
std::string Replicate(std::string_view t, std::int64_t n);
std::string Space(std::int64_t n);

// Position of the first occurrence of t in s; 0 when there is none or t is empty (POS).
int Pos(std::string_view t, std::string_view s);

// s with occurrences number start (0 counts as 1) to start + count - 1 (count 0: to the last)
// of search replaced by replace.
std::string StrTran(std::string_view s, std::string_view search, std::string_view replace,
                    int start, int count);

// Position in s of the n-th occurrence of search (n 0: the last) among those behind the first
// skip characters; 0 when there is no such occurrence (also for a negative n).
int AtNum(std::string_view search, std::string_view s, int n, int skip);
// The text before / after the occurrence AtNum finds (empty when it finds none).
std::string_view BeforAtNum(std::string_view search, std::string_view s, int n, int skip);
std::string_view AfterAtNum(std::string_view search, std::string_view s, int n, int skip);

// The number of occurrences of search in s from position from on.
int NumAt(std::string_view search, std::string_view s, int from);

// Position of the n-th character of s equal to c; n of 0 or below counts from the end (0 as -1).
// Only a one-character c can match. Without a match: length + 1 counting forward, 0 backward.
int AtToken(std::string_view s, std::string_view c, int n);

// The n-th token of s (n 0: the last) between delimiter texts: every substring of delimiters of
// length width (0: the whole of delimiters) is a delimiter. Empty past the last token and for a
// negative n.
std::string_view Token(std::string_view s, std::string_view delimiters, int n, int width);

// s with count characters from start removed and insert put in their place (start below 1:
// at the beginning; beyond the end: appended).
std::string Stuff(std::string_view s, int start, int count, std::string_view insert);

// s padded to length with fill repeated: on the left (cut on the left when longer), on the right
// (cut on the right), or on both sides (cut on both sides).
std::string PadL(std::string_view s, int length, std::string_view fill);
std::string PadR(std::string_view s, int length, std::string_view fill);
std::string PadC(std::string_view s, int length, std::string_view fill);

}  // namespace nox::formula
