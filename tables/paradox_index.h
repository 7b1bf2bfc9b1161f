#pragma once
// The primary index (.px) of a keyed Paradox table: a tree whose lowest level holds, for each data
// block in key order, the key of its first record, its block number and its record count; each
// higher level does the same for the index blocks below it, up to a single root block. All index
// blocks form one chain, the root first (block 1) and the lowest level last, so that walking the
// chain finds every record the index header counts, as in a table. The table's own data blocks
// are the authority; the index is derived from them.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tables/paradox_format.h"

namespace nox::tables::paradox {

struct IndexEntry {
  std::string_view firstKey;
  std::uint16_t block = 0;
  std::uint32_t count = 0;
};

// The complete index file for the data blocks of a table, listed in key order.
std::vector<unsigned char> BuildPrimaryIndex(const TableHeader& table, std::string_view tableName,
                                             const std::vector<IndexEntry>& blocks);

// Replaces the index file as a whole, so that a reader never sees half of it.
void WritePrimaryIndex(const std::filesystem::path& path, const TableHeader& table,
                       std::string_view tableName, const std::vector<IndexEntry>& blocks);

}  // namespace nox::tables::paradox
