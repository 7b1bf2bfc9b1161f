#include "tables/key_order.h"

#include <algorithm>
#include <numeric>
#include <string_view>

#include "tables/value_convert.h"

namespace nox::tables {
namespace {

int Sign(double difference) {
  return difference < 0 ? -1 : (difference > 0 ? 1 : 0);
}

bool IsNumeric(Value::Kind kind) {
  return kind == Value::Kind::Integer || kind == Value::Kind::Float ||
         kind == Value::Kind::Currency || kind == Value::Kind::Date;
}

std::string_view WithoutTrailingBlanks(std::string_view text) {
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  return text;
}

int CompareTexts(std::string_view left, std::string_view right, bool caseInsensitive) {
  left = WithoutTrailingBlanks(left);
  right = WithoutTrailingBlanks(right);
  const std::size_t common = std::min(left.size(), right.size());
  for (std::size_t i = 0; i < common; ++i) {
    unsigned char a = static_cast<unsigned char>(left[i]);
    unsigned char b = static_cast<unsigned char>(right[i]);
    if (caseInsensitive) {
      a = FoldCase(a);
      b = FoldCase(b);
    }
    if (a != b) return a < b ? -1 : 1;
  }
  return left.size() == right.size() ? 0 : (left.size() < right.size() ? -1 : 1);
}

}  // namespace

int CompareFieldValues(const Value& left, const Value& right, bool caseInsensitive) {
  if (left.isNull() || right.isNull()) {
    return left.isNull() == right.isNull() ? 0 : (left.isNull() ? -1 : 1);
  }
  const Value::Kind a = left.kind();
  const Value::Kind b = right.kind();
  if (a == Value::Kind::Integer && b == Value::Kind::Integer) {
    return left.integer() < right.integer() ? -1 : (left.integer() > right.integer() ? 1 : 0);
  }
  if (IsNumeric(a) && IsNumeric(b)) {
    const double x =
        a == Value::Kind::Integer ? static_cast<double>(left.integer()) : left.number();
    const double y =
        b == Value::Kind::Integer ? static_cast<double>(right.integer()) : right.number();
    return Sign(x - y);
  }
  if (a == Value::Kind::Text && b == Value::Kind::Text) {
    return CompareTexts(left.text(), right.text(), caseInsensitive);
  }
  if (a == Value::Kind::Boolean && b == Value::Kind::Boolean) {
    return static_cast<int>(left.boolean()) - static_cast<int>(right.boolean());
  }
  // Values of different kinds do not meet in one field; keep the order total anyway.
  return static_cast<int>(a) < static_cast<int>(b) ? -1 : 1;
}

KeyOrder::KeyOrder(std::vector<KeySegment> segments, TableStorage& storage, Record& scratch)
    : segments_(std::move(segments)), inMemory_(true) {
  const std::size_t count = storage.recordCount();
  const std::size_t width = segments_.size();
  std::vector<Value> unsorted;
  unsorted.reserve(count * width);
  for (std::size_t position = 0; position < count; ++position) {
    storage.readRecord(position, scratch);
    for (const KeySegment& segment : segments_) {
      unsorted.push_back(std::move(scratch[static_cast<std::size_t>(segment.field)]));
    }
  }
  std::vector<std::size_t> permutation(count);
  std::iota(permutation.begin(), permutation.end(), std::size_t{0});
  std::stable_sort(permutation.begin(), permutation.end(), [&](std::size_t x, std::size_t y) {
    return CompareKeys(&unsorted[x * width], &unsorted[y * width], width) < 0;
  });
  positions_ = permutation;
  keys_.reserve(count * width);
  for (std::size_t position : permutation) {
    for (std::size_t i = 0; i < width; ++i)
      keys_.push_back(std::move(unsorted[position * width + i]));
  }
}

int KeyOrder::CompareKeys(const Value* left, const Value* right, std::size_t count) const {
  for (std::size_t i = 0; i < count; ++i) {
    int result = CompareFieldValues(left[i], right[i], segments_[i].caseInsensitive);
    if (result != 0) return segments_[i].descending ? -result : result;
  }
  return 0;
}

int KeyOrder::CompareRecord(const Record& record, const std::vector<Value>& key) const {
  for (std::size_t i = 0; i < key.size() && i < segments_.size(); ++i) {
    const Value& value = record[static_cast<std::size_t>(segments_[i].field)];
    int result = CompareFieldValues(value, key[i], segments_[i].caseInsensitive);
    if (result != 0) return segments_[i].descending ? -result : result;
  }
  return 0;
}

int KeyOrder::CompareEntry(std::size_t index, const std::vector<Value>& key) const {
  return CompareKeys(&keys_[index * segments_.size()], key.data(),
                     std::min(key.size(), segments_.size()));
}

void KeyOrder::Remove(std::size_t position) {
  const std::size_t width = segments_.size();
  for (std::size_t index = 0; index < positions_.size(); ++index) {
    if (positions_[index] == position) {
      positions_.erase(positions_.begin() + static_cast<std::ptrdiff_t>(index));
      const auto first = keys_.begin() + static_cast<std::ptrdiff_t>(index * width);
      keys_.erase(first, first + static_cast<std::ptrdiff_t>(width));
      break;
    }
  }
  for (std::size_t& other : positions_) {
    if (other > position) --other;
  }
}

std::size_t KeyOrder::Insert(std::size_t position, const Record& record) {
  const std::size_t width = segments_.size();
  for (std::size_t& other : positions_) {
    if (other >= position) ++other;
  }
  std::vector<Value> key;
  key.reserve(width);
  for (const KeySegment& segment : segments_) {
    key.push_back(record[static_cast<std::size_t>(segment.field)]);
  }
  // After every equal key, so that records of one key stay in the order they came.
  std::size_t low = 0;
  std::size_t high = positions_.size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (CompareKeys(&keys_[middle * width], key.data(), width) <= 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  positions_.insert(positions_.begin() + static_cast<std::ptrdiff_t>(low), position);
  keys_.insert(keys_.begin() + static_cast<std::ptrdiff_t>(low * width),
               std::make_move_iterator(key.begin()), std::make_move_iterator(key.end()));
  return low;
}

}  // namespace nox::tables
