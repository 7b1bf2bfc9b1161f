#pragma once
// TNoxLookList: a data grid that finds a row as the user types. When it gets the focus it looks
// for an index beginning with the current column's field (after the master link field with
// UseMaster) and orders its table by it; typed characters then search that field
// (controls/incremental_search.h), the text typed so far showing in its search label. With a
// lookup source it shows the lookup table and the current row's lookup key goes into the bound
// field; without one it shows the data source's own table.

#include <QFont>
#include <optional>
#include <string>

#include "controls/data_source.h"
#include "controls/db_grid.h"
#include "controls/incremental_search.h"
#include "controls/lookup_parts.h"

class QLabel;

namespace nox::controls {

class TNoxLookList : public TNoxDBGrid {
  Q_OBJECT
  // Translated by the window from the language table, under the control's name.
  Q_PROPERTY(QString LookDispLabel READ LookDispLabel WRITE SetLookDispLabel)

 public:
  explicit TNoxLookList(QWidget* parent = nullptr);

  TNoxDataSource* DataSource() const { return link_.DataSource(); }
  void SetDataSource(TNoxDataSource* source);
  const std::string& DataField() const { return link_.FieldName(); }
  void SetDataField(std::string field) { link_.SetFieldName(std::move(field)); }
  TNoxDataSource* LookupSource() const { return lookupSource_; }
  void SetLookupSource(TNoxDataSource* source);
  const std::string& LookupField() const { return lookupField_; }
  void SetLookupField(std::string field) { lookupField_ = std::move(field); }
  // The fields shown, separated by ";" (empty: every field).
  const std::string& LookupDisplay() const { return lookupDisplay_; }
  void SetLookupDisplay(std::string fields);
  TNoxLookupListOptions Options() const { return options_; }
  void SetOptions(TNoxLookupListOptions options);
  // Column captions separated by ";"; setting them lays the list out again.
  const QString& LookDispLabel() const { return lookDispLabel_; }
  void SetLookDispLabel(const QString& labels);
  const QFont& LookTitleFont() const { return lookTitleFont_; }
  void SetLookTitleFont(const QFont& font);
  const QFont& LookTableFont() const { return lookTableFont_; }
  void SetLookTableFont(const QFont& font);
  // Search within the current master record's rows: the index must begin with the link field.
  bool UseMaster() const { return useMaster_; }
  void SetUseMaster(bool useMaster) { useMaster_ = useMaster; }
  // The master table and the field that links both tables (the same name in each).
  void SetMasterLink(TNoxDataSource* master, std::string linkField);

  // Captions, fonts and widths again (after a translation or a new character set).
  void LayOut();
  const TIncrementalSearch& Search() const { return search_; }
  QLabel& SearchLabel() { return *searchLabel_; }
  // Chooses the search index for the current column, as gaining the focus and moving to another
  // column do.
  void PrepareSearch();
  // An index begins with the current column's field: typing searches it.
  bool Searchable() const { return searchable_; }

 signals:
  // PrepareSearch chose (or found no) index for the current column.
  void SearchPrepared(bool searchable);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;

 private:
  TNoxDataSource* ShownSource() const;
  std::vector<std::string> ShownFields() const;
  void ChooseSearchIndex();
  void ShowSearchText();
  void RowChosen();

  TNoxFieldDataLink link_;
  TNoxDataSource* lookupSource_ = nullptr;
  std::string lookupField_;
  std::string lookupDisplay_;
  TNoxLookupListOptions options_ = lloColLines | lloRowLines | lloTitles;
  QString lookDispLabel_;
  QFont lookTitleFont_;
  QFont lookTableFont_;
  bool useMaster_ = false;
  TNoxDataSource* masterSource_ = nullptr;
  std::string masterField_;

  TIncrementalSearch search_;
  bool searchable_ = false;  // an index begins with the column's field
  QLabel* searchLabel_;
};

}  // namespace nox::controls
