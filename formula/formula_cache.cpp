#include "formula/formula_cache.h"

#include <utility>

namespace nox::formula {

FormulaCache& FormulaCache::Instance() {
  static FormulaCache cache;
  return cache;
}

void FormulaCache::MakeKey(std::string_view formula, std::string& key) {
  key.assign(formula);
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

const TDuplStrList* FormulaCache::Find(const std::string& key) const {
  const auto found = entries_.find(key);
  return found == entries_.end() ? nullptr : &found->second;
}

const TDuplStrList& FormulaCache::Add(const std::string& key, TDuplStrList translation) {
  return entries_.try_emplace(key, std::move(translation)).first->second;
}

}  // namespace nox::formula
