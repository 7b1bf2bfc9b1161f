#pragma once
// The records of a data source's table as a Qt item model for the grids. Rows are read when a view
// asks for them, a few at a time, so a table of any size opens at once and scrolls without being
// loaded. Without a filter the rows are a window of at most kWindowRows records of the table's
// order, row n being the record at WindowStart() + n: a view keeps a little state per row, so a
// larger table is shown by moving the window (the grid maps its own scroll bar onto the whole
// order), and memory stays the same whatever the record count. With a filter, the rows are
// counted as the view scrolls (fetchMore) and only every 64th row's place is kept. Texts are shown
// decoded from the model's code page. An edited cell stores its record at once, through the data
// source, so a refused value is shown there and nothing is stored half-filled.

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "controls/data_source.h"
#include "host/code_pages.h"
#include "tables/storage.h"

namespace nox::controls {

class TNoxTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit TNoxTableModel(QObject* parent = nullptr);

  TNoxDataSource* DataSource() const { return dataSource_; }
  void SetDataSource(TNoxDataSource* source);

  // The fields shown, in column order; empty means every field of the table.
  const std::vector<std::string>& ColumnFields() const { return columnFields_; }
  void SetColumnFields(std::vector<std::string> fields);
  // Column captions, in column order; a missing or empty caption shows the field name.
  void SetColumnTitles(QStringList titles);
  // The field shown in a column; nullptr when the column's field is missing.
  tables::TField* ColumnField(int column) const;

  host::CodePage CodePage() const { return codePage_; }
  void SetCodePage(host::CodePage page);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }

  // Rows of an unfiltered table: a window onto the table's order.
  static constexpr std::size_t kWindowRows = 4096;
  // The window is smaller than the table's order.
  bool Windowed() const;
  // The order position of row 0 (0 for a filtered table).
  std::size_t WindowStart() const { return windowStart_; }
  // Moves the window to begin at a position (kept within the order); the rows then show other
  // records, their count stays. False when the window did not move.
  bool SetWindowStart(std::size_t start);
  // Moves the window, when needed, so that the position lies at least `margin` rows from its
  // edges (as far as the order's ends allow).
  void ShowPosition(std::size_t position, std::size_t margin);
  // The number of positions the rows stand for: the table's order without a filter, the rows
  // counted so far with one.
  std::size_t PositionCount() const;

  // The row of a record position of the table's order and back; nothing when the record is not
  // (yet, or at the window's place) one of the rows.
  std::optional<int> RowOfPosition(std::size_t position);
  std::optional<std::size_t> PositionOfRow(int row) const;
  // The row of the table's current record.
  std::optional<int> CurrentRow();
  // Counts every row now (a filtered table is scanned to its end).
  void FetchAll();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  static constexpr std::size_t kStride = 64;        // rows between two kept places
  static constexpr std::size_t kCached = 256;       // records kept for painting
  static constexpr std::size_t kScanBatch = 50000;  // positions a fetchMore examines

  struct CachedRow {
    int row = -1;
    tables::Record record;
  };

  tables::TTable* Table() const;
  bool Filtered() const;
  void DataSetChanged();
  void ResetNow();
  void CurrentRecordChanged();
  void ForgetCached();
  // The record of a row, read on demand; nullptr for a row that is not there.
  const tables::Record* RecordOfRow(int row) const;
  // Counts the rows of up to `limit` further positions of a filtered table, as inserted rows.
  void Scan(std::size_t limit);

  QPointer<TNoxDataSource> dataSource_;  // may go before the grid
  std::vector<std::string> columnFields_;
  QStringList titles_;
  host::CodePage codePage_ = host::CodePage::Windows1257;
  bool readOnly_ = false;

  std::size_t windowStart_ = 0;
  // Filtered tables: rows counted so far, positions examined, every kStride-th row's position.
  std::size_t rows_ = 0;
  std::size_t scanned_ = 0;
  std::vector<std::size_t> marks_;
  // The last row placed, to go on from it when rows are asked for in order.
  mutable int lastRow_ = -1;
  mutable std::size_t lastPosition_ = 0;

  mutable std::array<CachedRow, kCached> cache_;
  mutable tables::Record scratch_;
  std::optional<int> shownCurrentRow_;
  // A reset asked for while a view writes a cell waits until the write is over.
  bool settingData_ = false;
  bool resetPending_ = false;
  QMetaObject::Connection connections_[2];
};

}  // namespace nox::controls
