#pragma once
// Data binding: a data source puts one table (tables::TTable) behind the controls of a window,
// and each data-aware control reads and writes its field through a field link. The source is the
// one way the controls move, edit and store the table, so that every control bound to it follows:
// it tells them when the current record or the table's contents change, when the table's state
// changes (browse, edit, insert), and asks the controls holding typed text to write it into the
// record before the record is stored.
//
// Storing goes through the table's post-error path (TTable::SetOnPostError): a handler there may
// retry or abort; an error it leaves is shown with the framework's message dialog and the record
// stays in edit, unstored. The engine stores a record whole or not at all.

#include <QObject>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tables/table.h"

namespace nox::controls {

class TNoxFieldDataLink;

// Shows an error of the table layer with the framework's message dialog.
void ShowDataError(const std::exception& error);

class TNoxDataSource : public QObject {
  Q_OBJECT

 public:
  explicit TNoxDataSource(QObject* parent = nullptr);
  ~TNoxDataSource() override;

  // The bound table, not owned: it must outlive the source or be unbound first. Binding another
  // table (or none) tells every control to show it afresh.
  tables::TTable* DataSet() const { return dataSet_; }
  void SetDataSet(tables::TTable* table);
  // A control's change starts editing the current record by itself (default true).
  bool AutoEdit() const { return autoEdit_; }
  void SetAutoEdit(bool autoEdit) { autoEdit_ = autoEdit; }

  // A table is bound and open.
  bool Active() const;
  tables::TableState State() const;
  bool Editing() const;  // Edit or Insert

  // --- Navigation. A pending edit is stored first; when that fails (the error was shown) the
  // cursor stays and the result is false. ---
  bool First();
  bool Last();
  bool Next();
  bool Prior();
  // The record at a position of the current order (tables::TTable::MoveToOrderPosition).
  bool MoveTo(std::size_t orderPosition);
  // The first record at or after the key in the current index.
  bool FindNearest(const std::vector<tables::Value>& key);

  // --- Editing ---
  bool Edit();    // the current record; false (error shown) when there is none
  bool Append();  // an empty new record
  // Asks the controls for their typed text, then stores the record. False when a value does not
  // fit its field or the table refuses the record: the error is shown (unless a post-error
  // handler aborted) and the record stays in edit.
  bool Post();
  void Cancel();
  // Stores a pending edit; true when the table is in browse state afterwards.
  bool CheckBrowseMode();

  // For code that moved the table directly (a search): the controls show its current record.
  void RecordMoved();
  // For code that changed the table directly: the controls show it afresh.
  void Resync();

  // The links bound to this source, in binding order (the source does not own them).
  const std::vector<TNoxFieldDataLink*>& Links() const { return links_; }

 signals:
  // The current record is another one, or its values changed (also after Post and Cancel).
  void RecordChanged();
  // Records came, went or changed, or the table was bound, opened, refiltered or reordered:
  // grids count and read their rows again.
  void DataSetChanged();
  // State() changed.
  void StateChanged();

 private:
  friend class TNoxFieldDataLink;
  void AddLink(TNoxFieldDataLink* link);
  void RemoveLink(TNoxFieldDataLink* link);
  // Runs a table operation; a table error is shown and gives false.
  bool Run(const std::function<void()>& operation);
  void AfterMove();
  void NoteState();

  tables::TTable* dataSet_ = nullptr;
  bool autoEdit_ = true;
  tables::TableState lastState_ = tables::TableState::Inactive;
  std::vector<TNoxFieldDataLink*> links_;
};

// A control's tie to one field of a data source's table.
class TNoxFieldDataLink : public QObject {
  Q_OBJECT

 public:
  explicit TNoxFieldDataLink(QObject* parent = nullptr);
  ~TNoxFieldDataLink() override;

  TNoxDataSource* DataSource() const { return dataSource_; }
  void SetDataSource(TNoxDataSource* source);
  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(std::string name);

  // The bound field of the open table; nullptr when unbound, closed or the table lacks it.
  tables::TField* Field() const;
  bool Active() const { return Field() != nullptr; }
  bool Editing() const;
  bool CanModify() const { return Active(); }

  // The field's text (single-byte, as stored); empty without a field.
  std::string Text() const;
  // Starts editing the record when the source allows it (AutoEdit); true when in edit now.
  bool Edit();
  // The control's value differs from the field's: it is written before the record is stored.
  void Modified() { modified_ = true; }
  bool IsModified() const { return modified_; }
  // The control shows the field's value again and forgets its own change.
  void Reset();
  // Writes a pending change into the record now (through the UpdateData handler). Raises
  // tables::TableError when the value does not fit the field; the control stays modified.
  void UpdateRecord();
  // Writes a text into the field of the record being edited. Raises tables::TableError.
  void WriteText(std::string_view text);

  // The control's writer: called by UpdateRecord when the control holds a change; it writes the
  // control's value through WriteText (or the field).
  void SetOnUpdateData(std::function<void()> handler) { onUpdateData_ = std::move(handler); }

 signals:
  // Show the field's value: another record, another field, a reset.
  void DataChanged();
  // The record went into edit or insert, or back to browse.
  void EditingChanged(bool editing);

 private:
  void SourceRecordChanged();
  void SourceStateChanged();

  TNoxDataSource* dataSource_ = nullptr;
  std::string fieldName_;
  bool modified_ = false;
  bool editing_ = false;
  std::function<void()> onUpdateData_;
  QMetaObject::Connection recordConnection_;
  QMetaObject::Connection dataSetConnection_;
  QMetaObject::Connection stateConnection_;
};

}  // namespace nox::controls
