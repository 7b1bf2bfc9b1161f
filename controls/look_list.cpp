#include "controls/look_list.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>

#include "forms/fonts.h"
#include "forms/text.h"
#include "tables/value_convert.h"

namespace nox::controls {

TNoxLookList::TNoxLookList(QWidget* parent)
    : TNoxDBGrid(parent),
      link_(this),
      lookTitleFont_(DefaultLookFont()),
      lookTableFont_(DefaultLookFont()),
      searchLabel_(new QLabel(this)) {
  searchLabel_->setObjectName(QStringLiteral("SearchLabel"));
  searchLabel_->setFrameShape(QFrame::Box);
  searchLabel_->setAutoFillBackground(true);
  searchLabel_->hide();
  // Typing searches; a cell is edited on a double click or F2.
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  connect(&Model(), &QAbstractItemModel::modelReset, this, &TNoxLookList::LayOut);
  link_.SetOnUpdateData([this] {
    tables::TTable* table = ShownSource() != nullptr ? ShownSource()->DataSet() : nullptr;
    if (table != nullptr) link_.WriteText(table->FieldByName(lookupField_).AsString());
  });
  LayOut();
}

TNoxDataSource* TNoxLookList::ShownSource() const {
  return lookupSource_ != nullptr ? lookupSource_ : link_.DataSource();
}

void TNoxLookList::SetDataSource(TNoxDataSource* source) {
  link_.SetDataSource(source);
  if (lookupSource_ == nullptr) TNoxDBGrid::SetDataSource(source);
}

void TNoxLookList::SetLookupSource(TNoxDataSource* source) {
  if (lookupSource_ != nullptr) disconnect(lookupSource_, nullptr, this, nullptr);
  lookupSource_ = source;
  TNoxDBGrid::SetDataSource(ShownSource());
  if (lookupSource_ != nullptr) {
    connect(lookupSource_, &TNoxDataSource::RecordChanged, this, &TNoxLookList::RowChosen);
  }
}

void TNoxLookList::SetLookupDisplay(std::string fields) {
  lookupDisplay_ = std::move(fields);
  Model().SetColumnFields(SplitFieldList(lookupDisplay_));
}

void TNoxLookList::SetOptions(TNoxLookupListOptions options) {
  options_ = options;
  LayOut();
}

void TNoxLookList::SetLookDispLabel(const QString& labels) {
  lookDispLabel_ = labels;
  LayOut();
}

void TNoxLookList::SetLookTitleFont(const QFont& font) {
  lookTitleFont_ = font;
  LayOut();
}

void TNoxLookList::SetLookTableFont(const QFont& font) {
  lookTableFont_ = font;
  LayOut();
}

void TNoxLookList::SetMasterLink(TNoxDataSource* master, std::string linkField) {
  masterSource_ = master;
  masterField_ = std::move(linkField);
}

std::vector<std::string> TNoxLookList::ShownFields() const {
  std::vector<std::string> fields = SplitFieldList(lookupDisplay_);
  if (!fields.empty()) return fields;
  TNoxDataSource* source = ShownSource();
  if (source != nullptr && source->Active()) {
    for (int i = 0; i < source->DataSet()->FieldCount(); ++i)
      fields.push_back(source->DataSet()->Fields(i).FieldName());
  }
  return fields;
}

void TNoxLookList::LayOut() {
  setFont(lookTableFont_);
  horizontalHeader()->setFont(lookTitleFont_);
  verticalHeader()->setDefaultSectionSize(QFontMetrics(lookTableFont_).height() + 4);
  horizontalHeader()->setVisible((options_ & lloTitles) != 0);
  setShowGrid((options_ & (lloColLines | lloRowLines)) != 0);
  Model().SetColumnTitles(LookupCaptions(lookDispLabel_, ShownFields(), lookTitleFont_));
  SizeColumnsToFields();
}

// --- Search ---

void TNoxLookList::PrepareSearch() {
  ChooseSearchIndex();
  emit SearchPrepared(searchable_);
}

void TNoxLookList::ChooseSearchIndex() {
  search_.Clear();
  ShowSearchText();
  searchable_ = false;
  TNoxDataSource* source = ShownSource();
  const tables::TField* field = Model().ColumnField(std::max(currentIndex().column(), 0));
  if (source == nullptr || !source->Active() || field == nullptr) return;
  tables::TTable& table = *source->DataSet();
  std::optional<tables::Value> master;
  if (useMaster_ && masterSource_ != nullptr && masterSource_->Active() &&
      masterSource_->DataSet()->OrderPosition()) {
    if (const tables::TField* link = masterSource_->DataSet()->FindField(masterField_)) {
      master = link->GetValue();
    }
  }
  const std::string index =
      IndexBeginningWith(table, field->FieldName(), master ? masterField_ : std::string());
  search_.SetMasterValue(master);
  if (index.empty()) return;
  searchable_ = true;
  if (tables::EqualNoCase(table.CurrentIndexFields(), index)) return;
  // Another order: the grid stays on the record it showed.
  const tables::Record here = [&] {
    tables::Record record;
    for (int i = 0; i < table.FieldCount(); ++i)
      record.push_back(table.Fields(i).GetValue());
    return record;
  }();
  const bool hadRecord = table.OrderPosition().has_value();
  if (!source->CheckBrowseMode()) return;
  try {
    table.SetIndexFieldNames(index);
    if (hadRecord) {
      std::vector<tables::Value> key;
      for (const std::string& name : SplitFieldList(index))
        key.push_back(here[static_cast<std::size_t>(table.FieldByName(name).Index())]);
      table.FindNearest(key);
    }
  } catch (const tables::TableError& error) {
    searchable_ = false;
    ShowDataError(error);
  }
  source->Resync();
}

void TNoxLookList::ShowSearchText() {
  searchLabel_->setText(forms::FromDataText(search_.Text(), forms::ControlCodePage(*this)));
  searchLabel_->adjustSize();
  searchLabel_->move(2, height() - searchLabel_->height() - 2);
  searchLabel_->setVisible(!search_.Text().empty());
  searchLabel_->raise();
}

void TNoxLookList::keyPressEvent(QKeyEvent* event) {
  TNoxDataSource* source = ShownSource();
  const QString text = event->text();
  const bool printable = !text.isEmpty() && text[0].isPrint() &&
                         !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
  if (state() != QAbstractItemView::EditingState && source != nullptr && source->Active()) {
    if (printable) {
      const std::optional<std::string> typed =
          forms::ToDataText(text.left(1), forms::ControlCodePage(*this));
      if (typed && typed->size() == 1) {
        try {
          if (searchable_ && source->CheckBrowseMode()) {
            search_.Type(*source->DataSet(), (*typed)[0]);
          } else if (!searchable_) {
            search_.Extend((*typed)[0]);
          }
        } catch (const tables::TableError& error) {
          ShowDataError(error);
        }
        source->RecordMoved();
        ShowSearchText();
      }
      return;
    }
    if (event->key() == Qt::Key_Backspace && !search_.Text().empty()) {
      search_.Backspace();
      ShowSearchText();
      return;
    }
    if (event->key() == Qt::Key_Escape && !search_.Text().empty()) {
      search_.Clear();
      ShowSearchText();
      return;
    }
  }
  // Moving by hand starts a new search.
  if (!search_.Text().empty() && !printable) {
    search_.Clear();
    ShowSearchText();
  }
  TNoxDBGrid::keyPressEvent(event);
}

void TNoxLookList::focusInEvent(QFocusEvent* event) {
  TNoxDBGrid::focusInEvent(event);
  PrepareSearch();
}

void TNoxLookList::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  TNoxDBGrid::currentChanged(current, previous);
  // Another column searches its own field.
  if (hasFocus() && current.isValid() && previous.isValid() &&
      current.column() != previous.column()) {
    PrepareSearch();
  }
}

void TNoxLookList::resizeEvent(QResizeEvent* event) {
  TNoxDBGrid::resizeEvent(event);
  ShowSearchText();
}

bool TNoxLookList::event(QEvent* event) {
  const bool handled = TNoxDBGrid::event(event);
  // A new character set: the list lays itself out again.
  if (event->type() == QEvent::DynamicPropertyChange) LayOut();
  return handled;
}

void TNoxLookList::RowChosen() {
  // The current lookup row's key goes into the bound field of a record that can be edited.
  if (lookupSource_ == nullptr || !link_.Active() || !hasFocus()) return;
  if (link_.Edit()) link_.Modified();
}

}  // namespace nox::controls
