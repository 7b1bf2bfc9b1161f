#include "controls/data_source.h"

#include <algorithm>

#include "forms/message_dialog.h"
#include "forms/text.h"

namespace nox::controls {

using tables::TableState;

void ShowDataError(const std::exception& error) {
  forms::NoxMessageDlg(forms::WithLineBreaks(forms::FromDataText(error.what())), QString(),
                       forms::MsgDlgType::Error, 0, forms::kButtonsOk);
}

// --- TNoxDataSource ---

TNoxDataSource::TNoxDataSource(QObject* parent) : QObject(parent) {}

TNoxDataSource::~TNoxDataSource() {
  for (TNoxFieldDataLink* link : std::vector<TNoxFieldDataLink*>(links_))
    link->SetDataSource(nullptr);
}

void TNoxDataSource::SetDataSet(tables::TTable* table) {
  dataSet_ = table;
  lastState_ = State();
  emit DataSetChanged();
  emit StateChanged();
  emit RecordChanged();
}

bool TNoxDataSource::Active() const {
  return dataSet_ != nullptr && dataSet_->Active();
}

TableState TNoxDataSource::State() const {
  return dataSet_ != nullptr ? dataSet_->State() : TableState::Inactive;
}

bool TNoxDataSource::Editing() const {
  const TableState state = State();
  return state == TableState::Edit || state == TableState::Insert;
}

bool TNoxDataSource::Run(const std::function<void()>& operation) {
  try {
    operation();
    return true;
  } catch (const tables::AbortError&) {
    // The post-error handler chose to end the operation silently.
  } catch (const tables::TableError& error) {
    ShowDataError(error);
  }
  NoteState();
  return false;
}

void TNoxDataSource::NoteState() {
  const TableState state = State();
  if (state == lastState_) return;
  lastState_ = state;
  emit StateChanged();
}

void TNoxDataSource::AfterMove() {
  NoteState();
  emit RecordChanged();
}

bool TNoxDataSource::CheckBrowseMode() {
  if (!Editing()) return true;
  return Post();
}

bool TNoxDataSource::First() {
  if (!Active() || !CheckBrowseMode()) return false;
  const bool moved = Run([&] { dataSet_->First(); });
  AfterMove();
  return moved;
}

bool TNoxDataSource::Last() {
  if (!Active() || !CheckBrowseMode()) return false;
  const bool moved = Run([&] { dataSet_->Last(); });
  AfterMove();
  return moved;
}

bool TNoxDataSource::Next() {
  if (!Active() || !CheckBrowseMode()) return false;
  const bool moved = Run([&] { dataSet_->Next(); });
  AfterMove();
  return moved;
}

bool TNoxDataSource::Prior() {
  if (!Active() || !CheckBrowseMode()) return false;
  const bool moved = Run([&] { dataSet_->Prior(); });
  AfterMove();
  return moved;
}

bool TNoxDataSource::MoveTo(std::size_t orderPosition) {
  if (!Active() || !CheckBrowseMode()) return false;
  bool found = false;
  Run([&] { found = dataSet_->MoveToOrderPosition(orderPosition); });
  AfterMove();
  return found;
}

bool TNoxDataSource::FindNearest(const std::vector<tables::Value>& key) {
  if (!Active() || !CheckBrowseMode()) return false;
  const bool moved = Run([&] { dataSet_->FindNearest(key); });
  AfterMove();
  return moved;
}

bool TNoxDataSource::Edit() {
  if (!Active()) return false;
  if (Editing()) return true;
  const bool ok = Run([&] { dataSet_->Edit(); });
  NoteState();
  return ok;
}

bool TNoxDataSource::Append() {
  if (!Active() || !CheckBrowseMode()) return false;
  const bool ok = Run([&] { dataSet_->Append(); });
  NoteState();
  emit RecordChanged();
  return ok;
}

bool TNoxDataSource::Post() {
  if (!Active()) return false;
  if (!Editing()) return true;
  const bool stored = Run([&] {
    for (TNoxFieldDataLink* link : std::vector<TNoxFieldDataLink*>(links_))
      link->UpdateRecord();
    dataSet_->Post();
  });
  if (!stored) return false;
  NoteState();
  emit DataSetChanged();
  emit RecordChanged();
  return true;
}

void TNoxDataSource::Cancel() {
  if (!Active()) return;
  const bool wasEditing = Editing();
  Run([&] { dataSet_->Cancel(); });
  NoteState();
  if (wasEditing) emit RecordChanged();
}

void TNoxDataSource::RecordMoved() {
  AfterMove();
}

void TNoxDataSource::Resync() {
  NoteState();
  emit DataSetChanged();
  emit RecordChanged();
}

void TNoxDataSource::AddLink(TNoxFieldDataLink* link) {
  if (std::find(links_.begin(), links_.end(), link) == links_.end()) links_.push_back(link);
}

void TNoxDataSource::RemoveLink(TNoxFieldDataLink* link) {
  links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
}

// --- TNoxFieldDataLink ---

TNoxFieldDataLink::TNoxFieldDataLink(QObject* parent) : QObject(parent) {}

TNoxFieldDataLink::~TNoxFieldDataLink() {
  if (dataSource_ != nullptr) dataSource_->RemoveLink(this);
}

void TNoxFieldDataLink::SetDataSource(TNoxDataSource* source) {
  if (source == dataSource_) return;
  if (dataSource_ != nullptr) {
    dataSource_->RemoveLink(this);
    disconnect(recordConnection_);
    disconnect(dataSetConnection_);
    disconnect(stateConnection_);
  }
  dataSource_ = source;
  if (dataSource_ != nullptr) {
    dataSource_->AddLink(this);
    recordConnection_ = connect(dataSource_, &TNoxDataSource::RecordChanged, this,
                                &TNoxFieldDataLink::SourceRecordChanged);
    dataSetConnection_ = connect(dataSource_, &TNoxDataSource::DataSetChanged, this,
                                 &TNoxFieldDataLink::SourceRecordChanged);
    stateConnection_ = connect(dataSource_, &TNoxDataSource::StateChanged, this,
                               &TNoxFieldDataLink::SourceStateChanged);
  }
  SourceStateChanged();
  Reset();
}

void TNoxFieldDataLink::SetFieldName(std::string name) {
  fieldName_ = std::move(name);
  Reset();
}

tables::TField* TNoxFieldDataLink::Field() const {
  if (dataSource_ == nullptr || !dataSource_->Active() || fieldName_.empty()) return nullptr;
  return dataSource_->DataSet()->FindField(fieldName_);
}

bool TNoxFieldDataLink::Editing() const {
  return dataSource_ != nullptr && dataSource_->Editing();
}

std::string TNoxFieldDataLink::Text() const {
  const tables::TField* field = Field();
  return field != nullptr ? field->AsString() : std::string();
}

bool TNoxFieldDataLink::Edit() {
  if (Editing()) return true;
  if (!CanModify() || !dataSource_->AutoEdit()) return false;
  return dataSource_->Edit();
}

void TNoxFieldDataLink::Reset() {
  modified_ = false;
  emit DataChanged();
}

void TNoxFieldDataLink::UpdateRecord() {
  if (!modified_ || !onUpdateData_) return;
  onUpdateData_();
  modified_ = false;
}

void TNoxFieldDataLink::WriteText(std::string_view text) {
  tables::TField* field = Field();
  if (field == nullptr) {
    throw tables::TableError("Field " + fieldName_ + " is not bound to an open table");
  }
  field->SetAsString(text);
}

void TNoxFieldDataLink::SourceRecordChanged() {
  Reset();
}

void TNoxFieldDataLink::SourceStateChanged() {
  const bool editing = Editing();
  if (editing == editing_) return;
  editing_ = editing;
  emit EditingChanged(editing);
}

}  // namespace nox::controls
