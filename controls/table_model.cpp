#include "controls/table_model.h"

#include <algorithm>
#include <climits>

#include "forms/text.h"
#include "tables/value_convert.h"

namespace nox::controls {

using tables::FieldType;

namespace {

bool IsBinary(FieldType type) {
  return type == FieldType::Blob || type == FieldType::Graphic || type == FieldType::Ole ||
         type == FieldType::Bytes;
}

bool IsNumber(FieldType type) {
  switch (type) {
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::Word:
    case FieldType::Float:
    case FieldType::Currency:
    case FieldType::BCD:
    case FieldType::AutoInc:
      return true;
    default:
      return false;
  }
}

int ClampRows(std::size_t rows) {
  return static_cast<int>(std::min<std::size_t>(rows, INT_MAX));
}

}  // namespace

TNoxTableModel::TNoxTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void TNoxTableModel::SetDataSource(TNoxDataSource* source) {
  for (QMetaObject::Connection& connection : connections_)
    disconnect(connection);
  dataSource_ = source;
  if (source != nullptr) {
    connections_[0] =
        connect(source, &TNoxDataSource::DataSetChanged, this, &TNoxTableModel::DataSetChanged);
    connections_[1] = connect(source, &TNoxDataSource::RecordChanged, this,
                              &TNoxTableModel::CurrentRecordChanged);
  }
  ResetNow();
}

void TNoxTableModel::SetColumnFields(std::vector<std::string> fields) {
  beginResetModel();
  columnFields_ = std::move(fields);
  endResetModel();
}

void TNoxTableModel::SetColumnTitles(QStringList titles) {
  titles_ = std::move(titles);
  if (columnCount() > 0) emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

void TNoxTableModel::SetCodePage(host::CodePage page) {
  if (page == codePage_) return;
  codePage_ = page;
  if (rowCount() > 0 && columnCount() > 0) {
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
  }
}

tables::TTable* TNoxTableModel::Table() const {
  return dataSource_ != nullptr && dataSource_->Active() ? dataSource_->DataSet() : nullptr;
}

bool TNoxTableModel::Filtered() const {
  const tables::TTable* table = Table();
  return table != nullptr && table->Filtered() && !tables::TrimBlanks(table->Filter()).empty();
}

tables::TField* TNoxTableModel::ColumnField(int column) const {
  tables::TTable* table = Table();
  if (table == nullptr || column < 0) return nullptr;
  if (columnFields_.empty()) return column < table->FieldCount() ? &table->Fields(column) : nullptr;
  if (static_cast<std::size_t>(column) >= columnFields_.size()) return nullptr;
  return table->FindField(columnFields_[static_cast<std::size_t>(column)]);
}

// --- Rows ---

void TNoxTableModel::ForgetCached() {
  for (CachedRow& cached : cache_)
    cached.row = -1;
  lastRow_ = -1;
}

void TNoxTableModel::DataSetChanged() {
  ForgetCached();
  if (settingData_) {
    resetPending_ = true;
    return;
  }
  ResetNow();
}

void TNoxTableModel::ResetNow() {
  beginResetModel();
  ForgetCached();
  // The window keeps its place as far as the order, perhaps shorter now, allows.
  const tables::TTable* table = Table();
  const std::size_t count = table != nullptr && !Filtered() ? table->OrderCount() : 0;
  windowStart_ = std::min(windowStart_, count > kWindowRows ? count - kWindowRows : 0);
  rows_ = 0;
  scanned_ = 0;
  marks_.clear();
  shownCurrentRow_.reset();
  endResetModel();
  // A view shows the first screen before it asks for more.
  if (Filtered()) Scan(kScanBatch);
  shownCurrentRow_ = CurrentRow();
}

void TNoxTableModel::Scan(std::size_t limit) {
  tables::TTable* table = Table();
  if (table == nullptr) return;
  const std::size_t end = std::min(table->OrderCount(), scanned_ + limit);
  std::vector<std::size_t> marks;
  std::size_t found = 0;
  for (std::size_t position = scanned_; position < end; ++position) {
    if (!table->ReadAtOrderPosition(position, scratch_)) continue;
    if ((rows_ + found) % kStride == 0) marks.push_back(position);
    ++found;
  }
  if (found > 0) beginInsertRows(QModelIndex(), ClampRows(rows_), ClampRows(rows_ + found - 1));
  scanned_ = end;
  rows_ += found;
  marks_.insert(marks_.end(), marks.begin(), marks.end());
  if (found > 0) endInsertRows();
}

bool TNoxTableModel::canFetchMore(const QModelIndex& parent) const {
  const tables::TTable* table = Table();
  return !parent.isValid() && Filtered() && table != nullptr && scanned_ < table->OrderCount();
}

void TNoxTableModel::fetchMore(const QModelIndex& parent) {
  if (canFetchMore(parent)) Scan(kScanBatch);
}

void TNoxTableModel::FetchAll() {
  while (canFetchMore(QModelIndex()))
    Scan(kScanBatch);
}

bool TNoxTableModel::Windowed() const {
  const tables::TTable* table = Table();
  return table != nullptr && !Filtered() && table->OrderCount() > kWindowRows;
}

std::size_t TNoxTableModel::PositionCount() const {
  const tables::TTable* table = Table();
  if (table == nullptr) return 0;
  return Filtered() ? rows_ : table->OrderCount();
}

bool TNoxTableModel::SetWindowStart(std::size_t start) {
  const std::size_t count = Windowed() ? Table()->OrderCount() : 0;
  start = std::min(start, count > kWindowRows ? count - kWindowRows : 0);
  if (start == windowStart_) return false;
  windowStart_ = start;
  ForgetCached();
  shownCurrentRow_ = CurrentRow();
  // The same rows with other records: the view keeps its rows and paints them afresh.
  emit dataChanged(index(0, 0), index(rowCount() - 1, std::max(columnCount() - 1, 0)));
  return true;
}

void TNoxTableModel::ShowPosition(std::size_t position, std::size_t margin) {
  if (!Windowed()) return;
  margin = std::min(margin, kWindowRows / 2);
  if (position >= windowStart_ + margin && position + margin < windowStart_ + kWindowRows) return;
  SetWindowStart(position > kWindowRows / 2 ? position - kWindowRows / 2 : 0);
}

std::optional<std::size_t> TNoxTableModel::PositionOfRow(int row) const {
  tables::TTable* table = Table();
  if (table == nullptr || row < 0) return std::nullopt;
  const std::size_t r = static_cast<std::size_t>(row);
  if (!Filtered()) {
    if (r >= static_cast<std::size_t>(rowCount()) || windowStart_ + r >= table->OrderCount()) {
      return std::nullopt;
    }
    return windowStart_ + r;
  }
  if (r >= rows_ || r / kStride >= marks_.size()) return std::nullopt;
  std::size_t position = marks_[r / kStride];
  std::size_t remaining = r % kStride;
  // Rows asked for in order go on from the last one placed.
  if (lastRow_ >= 0 && static_cast<std::size_t>(lastRow_) / kStride == r / kStride &&
      static_cast<std::size_t>(lastRow_) <= r) {
    position = lastPosition_;
    remaining = r - static_cast<std::size_t>(lastRow_);
  }
  while (remaining > 0) {
    if (++position >= scanned_) return std::nullopt;
    if (table->ReadAtOrderPosition(position, scratch_)) --remaining;
  }
  lastRow_ = row;
  lastPosition_ = position;
  return position;
}

std::optional<int> TNoxTableModel::RowOfPosition(std::size_t position) {
  tables::TTable* table = Table();
  if (table == nullptr || position >= table->OrderCount()) return std::nullopt;
  if (!Filtered()) {
    if (position < windowStart_ || position - windowStart_ >= kWindowRows) return std::nullopt;
    return ClampRows(position - windowStart_);
  }
  while (position >= scanned_ && canFetchMore(QModelIndex()))
    Scan(kScanBatch);
  const auto mark = std::upper_bound(marks_.begin(), marks_.end(), position);
  if (mark == marks_.begin()) return std::nullopt;
  const std::size_t block = static_cast<std::size_t>(mark - marks_.begin()) - 1;
  std::size_t row = block * kStride;
  for (std::size_t p = marks_[block] + 1; p <= position; ++p) {
    if (table->ReadAtOrderPosition(p, scratch_)) {
      ++row;
    } else if (p == position) {
      return std::nullopt;  // the filter refuses it
    }
  }
  return ClampRows(row);
}

std::optional<int> TNoxTableModel::CurrentRow() {
  tables::TTable* table = Table();
  if (table == nullptr) return std::nullopt;
  const std::optional<std::size_t> position = table->OrderPosition();
  if (!position) return std::nullopt;
  return RowOfPosition(*position);
}

const tables::Record* TNoxTableModel::RecordOfRow(int row) const {
  CachedRow& cached = cache_[static_cast<std::size_t>(row) % kCached];
  if (cached.row == row) return &cached.record;
  const std::optional<std::size_t> position = PositionOfRow(row);
  if (!position) return nullptr;
  Table()->ReadAtOrderPosition(*position, cached.record);
  cached.row = row;
  return &cached.record;
}

void TNoxTableModel::CurrentRecordChanged() {
  // The current record may show its edit buffer, or new values after a store or a cancel.
  std::optional<int> current = CurrentRow();
  for (const std::optional<int>& row : {shownCurrentRow_, current}) {
    if (!row || *row >= rowCount()) continue;
    cache_[static_cast<std::size_t>(*row) % kCached].row = -1;
    if (columnCount() > 0) emit dataChanged(index(*row, 0), index(*row, columnCount() - 1));
  }
  shownCurrentRow_ = current;
}

// --- Qt model ---

int TNoxTableModel::rowCount(const QModelIndex& parent) const {
  const tables::TTable* table = Table();
  if (parent.isValid() || table == nullptr) return 0;
  if (Filtered()) return ClampRows(rows_);
  return ClampRows(
      std::min(table->OrderCount() - std::min(windowStart_, table->OrderCount()), kWindowRows));
}

int TNoxTableModel::columnCount(const QModelIndex& parent) const {
  const tables::TTable* table = Table();
  if (parent.isValid() || table == nullptr) return 0;
  return columnFields_.empty() ? table->FieldCount() : static_cast<int>(columnFields_.size());
}

QVariant TNoxTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const tables::TField* field = ColumnField(index.column());
  if (field == nullptr) return {};
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(Qt::AlignVCenter |
                               (IsNumber(field->DataType()) ? Qt::AlignRight : Qt::AlignLeft));
  }
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  if (IsBinary(field->DataType())) {
    return QStringLiteral("(%1)").arg(
        QString::fromLatin1(tables::FieldTypeName(field->DataType())));
  }
  // The record being edited shows what has been typed into it so far.
  if (dataSource_->Editing() && shownCurrentRow_ == index.row()) {
    return forms::FromDataText(field->AsString(), codePage_);
  }
  const tables::Record* record = RecordOfRow(index.row());
  if (record == nullptr) return {};
  return forms::FromDataText(
      tables::FieldValueText(field->DataType(),
                             (*record)[static_cast<std::size_t>(field->Index())]),
      codePage_);
}

QVariant TNoxTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section < titles_.size() && !titles_[section].isEmpty()) return titles_[section];
  const tables::TField* field = ColumnField(section);
  if (field != nullptr) return forms::FromDataText(field->FieldName());
  if (static_cast<std::size_t>(section) < columnFields_.size()) {
    return forms::FromDataText(columnFields_[static_cast<std::size_t>(section)]);
  }
  return {};
}

Qt::ItemFlags TNoxTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
  const tables::TField* field = ColumnField(index.column());
  if (!readOnly_ && field != nullptr && field->DataType() != FieldType::AutoInc &&
      !IsBinary(field->DataType())) {
    flags |= Qt::ItemIsEditable;
  }
  return flags;
}

bool TNoxTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
  const std::optional<std::size_t> position = PositionOfRow(index.row());
  const std::optional<std::string> text = forms::ToDataText(value.toString(), codePage_);
  if (!position || !text) return false;
  settingData_ = true;
  bool stored = dataSource_->MoveTo(*position) && dataSource_->Edit();
  if (stored) {
    try {
      ColumnField(index.column())->SetAsString(*text);
    } catch (const tables::TableError& error) {
      ShowDataError(error);
      stored = false;
    }
  }
  stored = stored && dataSource_->Post();
  if (!stored) dataSource_->Cancel();
  settingData_ = false;
  if (resetPending_) {
    resetPending_ = false;
    // The view is still inside its write: the rows are counted again once it is over.
    QMetaObject::invokeMethod(this, &TNoxTableModel::ResetNow, Qt::QueuedConnection);
  }
  return stored;
}

}  // namespace nox::controls
