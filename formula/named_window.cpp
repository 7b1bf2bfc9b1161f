#include "formula/named_window.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "tables/table.h"

namespace nox::formula {
namespace {

// The open windows in the order they registered; a handful at most, so a list does.
std::vector<NamedWindow*>& OpenWindows() {
  static std::vector<NamedWindow*> windows;
  return windows;
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

}  // namespace

void RegisterNamedWindow(NamedWindow& window) {
  auto& windows = OpenWindows();
  if (std::find(windows.begin(), windows.end(), &window) == windows.end()) {
    windows.push_back(&window);
  }
}

void UnregisterNamedWindow(NamedWindow& window) {
  std::erase(OpenWindows(), &window);
}

NamedWindow* FindNamedWindow(std::string_view name) {
  for (NamedWindow* window : OpenWindows()) {
    if (EqualIgnoringCase(window->WindowName(), name)) return window;
  }
  return nullptr;
}

TableWindow::TableWindow(std::string name, std::vector<tables::TTable*> tables)
    : name_(std::move(name)), tables_(std::move(tables)) {
  RegisterNamedWindow(*this);
}

TableWindow::~TableWindow() {
  UnregisterNamedWindow(*this);
}

tables::TTable* TableWindow::FindTable(std::string_view tableName) const {
  for (tables::TTable* table : tables_) {
    if (EqualIgnoringCase(table->Name(), tableName)) return table;
  }
  return nullptr;
}

}  // namespace nox::formula
