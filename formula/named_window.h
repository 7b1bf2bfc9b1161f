#pragma once
// A window as the formula calculator sees it: a name and named table objects. The main window
// and the conversion window register themselves; so does the headless runner, under the same
// names, so that formulas behave alike with and without windows.

#include <string>
#include <string_view>
#include <vector>

namespace nox::tables {
class TTable;
}

namespace nox::formula {

class NamedWindow {
 public:
  virtual ~NamedWindow() = default;
  virtual std::string_view WindowName() const = 0;
  // The window's table object of that name (letters compared without regard to case), or null.
  virtual tables::TTable* FindTable(std::string_view tableName) const = 0;
};

void RegisterNamedWindow(NamedWindow& window);
void UnregisterNamedWindow(NamedWindow& window);
// The open window whose name equals the given one without regard to case, or null.
NamedWindow* FindNamedWindow(std::string_view name);

// A window known by its name and a fixed list of table objects, registered for its whole life.
class TableWindow : public NamedWindow {
 public:
  TableWindow(std::string name, std::vector<tables::TTable*> tables);
  ~TableWindow() override;
  TableWindow(const TableWindow&) = delete;
  TableWindow& operator=(const TableWindow&) = delete;

  std::string_view WindowName() const override { return name_; }
  tables::TTable* FindTable(std::string_view tableName) const override;

 private:
  std::string name_;
  std::vector<tables::TTable*> tables_;
};

}  // namespace nox::formula
