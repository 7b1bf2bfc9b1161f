#include "formula/text_library.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace nox::formula {
namespace {

using Size = std::int64_t;

Size Length(std::string_view s) {
  return static_cast<Size>(s.size());
}

// Start indexes (from 0) of the non-overlapping occurrences of search in s, calling visit for each
// until it returns false.
template <typename Visit>
void ForEachOccurrence(std::string_view search, std::string_view s, Visit visit) {
  if (search.empty()) return;
  std::size_t at = s.find(search);
  while (at != std::string_view::npos) {
    if (!visit(at)) return;
    at = s.find(search, at + search.size());
  }
}

Size CountOccurrences(std::string_view search, std::string_view s) {
  Size count = 0;
  ForEachOccurrence(search, s, [&count](std::size_t) {
    ++count;
    return true;
  });
  return count;
}

// The suffix of s from position from (1-based; 1 or less: all of s).
std::string_view FromPosition(std::string_view s, Size from) {
  if (from <= 1) return s;
  if (from > Length(s)) return {};
  return s.substr(static_cast<std::size_t>(from - 1));
}

// a / 2 rounded to the nearest whole number, a half to the even neighbour.
Size HalfToEven(Size a) {
  const Size floorHalf = a >= 0 ? a / 2 : -((-a + 1) / 2);
  if (a % 2 == 0) return floorHalf;
  return floorHalf % 2 == 0 ? floorHalf : floorHalf + 1;
}

// Characters first..first+count-1 (1-based) of the endless repetition of fill.
void AppendRepeated(std::string& out, std::string_view fill, Size first, Size count) {
  if (fill.empty() || count <= 0) return;
  const Size period = Length(fill);
  Size at = (first - 1) % period;
  for (Size i = 0; i < count; ++i) {
    out += fill[static_cast<std::size_t>(at)];
    if (++at == period) at = 0;
  }
}

}  // namespace

void RequireBuildable(std::int64_t length) {
  if (length > static_cast<Size>(kMaxTextLength)) {
    throw std::length_error("a text of " + std::to_string(length) +
                            " characters is too long (at most " + std::to_string(kMaxTextLength) +
                            ")");
  }
}

bool IsBlankChar(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

bool IsBlankText(std::string_view s) {
  return std::all_of(s.begin(), s.end(), IsBlankChar);
}

std::string_view TrimLeftText(std::string_view s) {
  while (!s.empty() && IsBlankChar(s.front()))
    s.remove_prefix(1);
  return s;
}

std::string_view TrimRightText(std::string_view s) {
  while (!s.empty() && IsBlankChar(s.back()))
    s.remove_suffix(1);
  return s;
}

std::string_view TrimText(std::string_view s) {
  return TrimRightText(TrimLeftText(s));
}

std::string_view SubStr(std::string_view s, Size start, Size count) {
  if (s.empty() || count < 0 || start > Length(s)) return {};
  if (start < 1) start = 1;
  const Size left = Length(s) - (start - 1);
  return s.substr(static_cast<std::size_t>(start - 1),
                  static_cast<std::size_t>(std::min(count, left)));
}

std::string_view Right(std::string_view s, Size n) {
  if (n <= 0) return {};
  if (n >= Length(s)) return s;
  return s.substr(s.size() - static_cast<std::size_t>(n));
}

std::string Replicate(std::string_view t, Size n) {
  if (n <= 0 || t.empty()) return {};
  // Checked by division so that a huge n cannot overflow the product.
  if (n > static_cast<Size>(kMaxTextLength) / Length(t)) {
    throw std::length_error("a text of " + std::to_string(n) + " times " +
                            std::to_string(t.size()) + " characters is too long (at most " +
                            std::to_string(kMaxTextLength) + ")");
  }
  std::string out;
  out.reserve(static_cast<std::size_t>(n * Length(t)));
  for (Size i = 0; i < n; ++i)
    out += t;
  return out;
}

std::string Space(Size n) {
  return Replicate(" ", n);
}

int Pos(std::string_view t, std::string_view s) {
  if (t.empty()) return 0;
  const std::size_t at = s.find(t);
  return at == std::string_view::npos ? 0 : static_cast<int>(at + 1);
}

std::string StrTran(std::string_view s, std::string_view search, std::string_view replace,
                    int start, int count) {
  std::vector<std::size_t> found;
  ForEachOccurrence(search, s, [&found](std::size_t at) {
    found.push_back(at);
    return true;
  });
  const Size m = static_cast<Size>(found.size());
  const Size first = start == 0 ? 1 : start;
  if (first > m) return std::string(s);
  // first and count are 32-bit, so their sum cannot overflow here.
  const Size last = count == 0 ? m : std::min(first + count - 1, m);
  const Size from = std::max<Size>(first, 1);
  if (last < from) return std::string(s);

  const Size replaced = last - from + 1;
  RequireBuildable(Length(s) + replaced * (Length(replace) - Length(search)));
  std::string out;
  out.reserve(static_cast<std::size_t>(Length(s) + replaced * (Length(replace) - Length(search))));
  std::size_t copied = 0;
  for (Size k = from; k <= last; ++k) {
    const std::size_t at = found[static_cast<std::size_t>(k - 1)];
    out.append(s, copied, at - copied);
    out += replace;
    copied = at + search.size();
  }
  out.append(s, copied);
  return out;
}

int AtNum(std::string_view search, std::string_view s, int n, int skip) {
  if (n < 0) return 0;
  const Size offset = std::max<Size>(skip, 0);
  const std::string_view t = FromPosition(s, offset + 1);
  Size seen = 0;
  Size chosen = -1;
  ForEachOccurrence(search, t, [&](std::size_t at) {
    ++seen;
    chosen = static_cast<Size>(at);
    return seen != n;  // n 0 runs to the last occurrence
  });
  if (seen == 0 || (n != 0 && seen < n)) return 0;
  return static_cast<int>(chosen + 1 + offset);
}

std::string_view BeforAtNum(std::string_view search, std::string_view s, int n, int skip) {
  return SubStr(s, 1, AtNum(search, s, n, skip) - Size{1});
}

std::string_view AfterAtNum(std::string_view search, std::string_view s, int n, int skip) {
  const int p = AtNum(search, s, n, skip);
  if (p == 0) return {};
  return FromPosition(s, p + Length(search));
}

int NumAt(std::string_view search, std::string_view s, int from) {
  return static_cast<int>(CountOccurrences(search, FromPosition(s, from)));
}

int AtToken(std::string_view s, std::string_view c, int n) {
  if (s.empty()) return n > 0 ? 1 : 0;
  const bool single = c.size() == 1;
  if (n > 0) {
    Size seen = 0;
    for (std::size_t i = 0; single && i < s.size(); ++i) {
      if (s[i] == c[0] && ++seen == n) return static_cast<int>(i + 1);
    }
    return static_cast<int>(s.size() + 1);
  }
  const Size wanted = n == 0 ? 1 : -Size{n};  // widened first: -INT_MIN is defined
  Size seen = 0;
  for (std::size_t i = s.size(); single && i > 0; --i) {
    if (s[i - 1] == c[0] && ++seen == wanted) return static_cast<int>(i);
  }
  return 0;
}

std::string_view Token(std::string_view s, std::string_view delimiters, int n, int width) {
  if (n < 0) return {};
  const Size w = width == 0 ? Length(delimiters) : width;
  // Boundaries: 1, the position behind every occurrence of every delimiter text (a position found
  // twice stays twice), and the end mark length + w + 1.
  std::vector<Size> bounds{1};
  if (w > 0) {
    for (Size p = 1; p + w - 1 <= Length(delimiters); ++p) {
      const std::string_view delimiter = SubStr(delimiters, p, w);
      ForEachOccurrence(delimiter, s, [&](std::size_t at) {
        bounds.push_back(static_cast<Size>(at) + 1 + w);
        return true;
      });
    }
  }
  bounds.push_back(Length(s) + w + 1);
  std::sort(bounds.begin(), bounds.end());
  const Size c = static_cast<Size>(bounds.size());
  if (n == 0) return FromPosition(s, bounds[static_cast<std::size_t>(c - 2)]);
  if (n >= c) return {};
  const Size begin = bounds[static_cast<std::size_t>(n - 1)];
  return SubStr(s, begin, bounds[static_cast<std::size_t>(n)] - begin - w);
}

std::string Stuff(std::string_view s, int start, int count, std::string_view insert) {
  RequireBuildable(Length(s) + Length(insert));
  std::string out(s);
  if (start >= 1 && start <= Length(out) && count > 0) {
    out.erase(static_cast<std::size_t>(start - 1),
              static_cast<std::size_t>(std::min<Size>(count, Length(out) - start + 1)));
  }
  if (!insert.empty()) {
    const Size at = std::clamp<Size>(Size{start} - 1, 0, Length(out));
    out.insert(static_cast<std::size_t>(at), insert);
  }
  return out;
}

// The padding functions pick characters from the concatenations their rules describe without
// building those (a fill repeated length times may be far longer than the result).

namespace {

// The length of Replicate(fill, length) for a length of 1 or more. A fill is never near 2^32
// characters, and capping it there keeps the product within 64 bits.
Size RepeatedLength(std::string_view fill, int length) {
  return length * std::min<Size>(Length(fill), Size{1} << 32);
}

}  // namespace

std::string PadL(std::string_view s, int length, std::string_view fill) {
  // The last length characters of Replicate(fill, length) followed by s.
  if (length <= 0) return {};
  if (length <= Length(s)) return std::string(Right(s, length));
  const Size fromFill = std::min(length - Length(s), RepeatedLength(fill, length));
  RequireBuildable(fromFill + Length(s));
  std::string out;
  out.reserve(static_cast<std::size_t>(fromFill + Length(s)));
  AppendRepeated(out, fill, RepeatedLength(fill, length) - fromFill + 1, fromFill);
  out += s;
  return out;
}

std::string PadR(std::string_view s, int length, std::string_view fill) {
  // The first length characters of s followed by Replicate(fill, length).
  if (length <= 0) return {};
  if (length <= Length(s)) return std::string(s.substr(0, static_cast<std::size_t>(length)));
  const Size fromFill = std::min(length - Length(s), RepeatedLength(fill, length));
  RequireBuildable(Length(s) + fromFill);
  std::string out;
  out.reserve(static_cast<std::size_t>(Length(s) + fromFill));
  out += s;
  AppendRepeated(out, fill, 1, fromFill);
  return out;
}

std::string PadC(std::string_view s, int length, std::string_view fill) {
  // u := f, s, f with f = Replicate(fill, length); the result is length characters of u from
  // position length * len(fill) - left + 1, left being half the room rounded to even.
  if (length <= 0) return {};
  const Size f = RepeatedLength(fill, length);
  const Size total = 2 * f + Length(s);
  const Size left = HalfToEven(length - Length(s));
  const Size first = std::max<Size>(f - left + 1, 1);
  const Size last = std::min<Size>(f - left + length, total);
  std::string out;
  if (last < first) return out;
  RequireBuildable(last - first + 1);
  out.reserve(static_cast<std::size_t>(last - first + 1));
  // The parts in the leading fill, in s and in the trailing fill.
  if (first <= f) AppendRepeated(out, fill, first, std::min(last, f) - first + 1);
  const Size sFirst = std::max(first, f + 1);
  const Size sLast = std::min(last, f + Length(s));
  if (sFirst <= sLast) out += SubStr(s, sFirst - f, sLast - sFirst + 1);
  const Size tFirst = std::max(first, f + Length(s) + 1);
  if (tFirst <= last) AppendRepeated(out, fill, tFirst - f - Length(s), last - tFirst + 1);
  return out;
}

}  // namespace nox::formula
