#pragma once
// TFormTable: a window on one table, to look at its records and correct them: the records in a
// lookup list that finds a record as the user types in an indexed column, one data edit per field
// to change the current record, an engine filter typed into a list-file combo box that keeps the
// user's filters, and deleting a record after a question. The window opens its own table object,
// shared, so that other readers stay in; the first stored change takes the table for writing.

#include <QString>
#include <filesystem>
#include <string>
#include <vector>

#include "forms/nox_form.h"
#include "tables/table.h"

class QLabel;
class QPushButton;
class QScrollArea;

namespace nox::controls {
class TNoxComboBox;
class TNoxDataSource;
class TNoxDBEdit;
class TNoxLookList;
}  // namespace nox::controls

namespace nox::forms {

// The list file of the filters the user keeps: Filters.MNU in the user's data folder.
std::filesystem::path FilterListPath();

class TFormTable : public TNoxForm {
  Q_OBJECT

 public:
  explicit TFormTable(QWidget* parent = nullptr);
  ~TFormTable() override;

  // Opens the table (directory or alias, and file name, in the data code page) and shows it.
  // False, after the engine's message, when it cannot be opened; the window then shows nothing.
  bool OpenTable(const std::string& databaseName, const std::string& tableName);
  tables::TTable& Table() { return table_; }
  controls::TNoxDataSource& DataSource() { return *source_; }
  // The data edit of a field; nullptr for a name the table lacks.
  controls::TNoxDBEdit* FieldEdit(std::string_view fieldName) const;

  // --- Commands ---
  // Stores the record being corrected; false (the error shown, the record still in edit) when the
  // table refuses it.
  bool BBPostClick();
  void BBCancelClick();
  // Asks first, then deletes the current record; false when the user said No, there is no
  // record, or the table refused (the error shown, the table unchanged).
  bool BBDeleteRecordClick();
  // Filters by the expression typed into CBFilter (empty: every record); a working filter is
  // added to the user's list. False, after a message naming the expression, for a faulty one:
  // the records shown stay as they were.
  bool BBFilterClick();

 protected:
  void FormCreate() override;
  void FormClose(CloseAction& action) override;
  void FormDestroy() override;

 private:
  void BuildFields();
  void ShowState();
  // A stored correction or a deleted record is put on disk at once, so that a program killed
  // afterwards does not take back what the user saw done.
  void MakeDurable();
  void ShowSearchState(bool searchable);

  tables::TTable table_;
  controls::TNoxDataSource* source_ = nullptr;
  QString ownCaption_;
  std::vector<controls::TNoxDBEdit*> edits_;

  QLabel* LblFilter_ = nullptr;
  controls::TNoxComboBox* CBFilter_ = nullptr;
  QPushButton* BBFilter_ = nullptr;
  controls::TNoxLookList* LLRecords_ = nullptr;
  QLabel* LblNoSearch_ = nullptr;
  QScrollArea* SBFields_ = nullptr;
  QWidget* PanelFields_ = nullptr;
  QPushButton* BBPost_ = nullptr;
  QPushButton* BBCancel_ = nullptr;
  QPushButton* BBDeleteRecord_ = nullptr;
  QPushButton* BBClose_ = nullptr;
};

}  // namespace nox::forms
