#pragma once
// The order a table is navigated in and searched by: its key fields with their comparison rules
// and, for an order the file does not keep itself, the record positions sorted by key. Only the
// key values are held in memory, never whole records.

#include <cstddef>
#include <vector>

#include "tables/storage.h"
#include "tables/value.h"

namespace nox::tables {

struct KeySegment {
  int field = 0;  // position of the key field in the record
  bool caseInsensitive = false;
  bool descending = false;
};

// Compares two values of one field: null first, numbers by value, texts byte by byte with
// trailing blanks ignored (optionally without regard to case), false before true.
int CompareFieldValues(const Value& left, const Value& right, bool caseInsensitive);

class KeyOrder {
 public:
  // An order kept by the file itself (physical order); no segments means plain record order.
  explicit KeyOrder(std::vector<KeySegment> segments) : segments_(std::move(segments)) {}
  // A secondary order built in memory from every record of the storage.
  KeyOrder(std::vector<KeySegment> segments, TableStorage& storage, Record& scratch);

  const std::vector<KeySegment>& Segments() const { return segments_; }
  bool InMemory() const { return inMemory_; }

  // Compares a record's key with key values for the leading key.size() segments.
  int CompareRecord(const Record& record, const std::vector<Value>& key) const;

  // Sorted entries of an in-memory order.
  std::size_t Size() const { return positions_.size(); }
  std::size_t PositionAt(std::size_t index) const { return positions_[index]; }
  int CompareEntry(std::size_t index, const std::vector<Value>& key) const;

  // Keeps an in-memory order in step with the storage: the record at a position went away
  // (positions above it move down), or a record came in at a position (positions from it move
  // up). Insert gives the new entry's index.
  void Remove(std::size_t position);
  std::size_t Insert(std::size_t position, const Record& record);

 private:
  int CompareKeys(const Value* left, const Value* right, std::size_t count) const;

  std::vector<KeySegment> segments_;
  bool inMemory_ = false;
  std::vector<std::size_t> positions_;
  std::vector<Value> keys_;  // Size() rows of segments_.size() values, in sorted order
};

}  // namespace nox::tables
