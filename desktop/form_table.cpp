#include "desktop/form_table.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "controls/combo_box.h"
#include "controls/data_source.h"
#include "controls/db_edit.h"
#include "controls/look_list.h"
#include "forms/application.h"
#include "forms/controls.h"
#include "forms/fonts.h"
#include "forms/message_box.h"
#include "forms/message_dialog.h"
#include "forms/settings_file.h"
#include "forms/text.h"
#include "tables/value_convert.h"

namespace nox::forms {
namespace {

using tables::FieldType;

struct ValueRange {
  double min;
  double max;
};

// The values a numeric field can hold: its type's range, narrowed for a dBase number by the
// digits its width leaves (a sign takes a place too). Nothing for other fields.
std::optional<ValueRange> FieldRange(const tables::FieldDef& def) {
  std::optional<ValueRange> range;
  switch (def.type) {
    case FieldType::SmallInt:
      range = ValueRange{-32768, 32767};
      break;
    case FieldType::Integer:
      range = ValueRange{std::numeric_limits<std::int32_t>::min(),
                         std::numeric_limits<std::int32_t>::max()};
      break;
    case FieldType::Word:
      range = ValueRange{0, 65535};
      break;
    case FieldType::Float:
    case FieldType::Currency:
    case FieldType::BCD:
      range = ValueRange{-std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
      break;
    default:
      return std::nullopt;
  }
  if ((def.nativeType == 'N' || def.nativeType == 'F') && def.nativeWidth > 0) {
    const int decimals = def.nativeDecimals;
    const int digits = def.nativeWidth - (decimals > 0 ? decimals + 1 : 0);
    const double step = std::pow(10.0, -decimals);
    range->max = std::min(range->max, std::pow(10.0, digits) - step);
    range->min = std::max(range->min, digits >= 2 ? -(std::pow(10.0, digits - 1) - step) : 0.0);
  }
  return range;
}

// Fields a one-line edit cannot change without losing something: the engine's own numbers,
// texts with line breaks and binary values.
bool ReadOnlyInEdit(FieldType type) {
  switch (type) {
    case FieldType::AutoInc:
    case FieldType::Memo:
    case FieldType::FmtMemo:
    case FieldType::Blob:
    case FieldType::Graphic:
    case FieldType::Ole:
    case FieldType::Bytes:
      return true;
    default:
      return false;
  }
}

QString RangeNumber(double value) {
  return QString::number(value, 'g', 15);
}

void ShowError(const QString& message) {
  NoxMessageDlg(message, QString(), MsgDlgType::Error, 0, kButtonsOk);
}

}  // namespace

std::filesystem::path FilterListPath() {
  return UserDataDirectory() / "Filters.MNU";
}

TFormTable::TFormTable(QWidget* parent) : TNoxForm(parent) {
  setObjectName(QStringLiteral("FormTable"));
  setWindowTitle(QStringLiteral("Table"));
  MakeTopLevelWindow(*this);
  source_ = new controls::TNoxDataSource(this);

  LblFilter_ = MakeLabel(this, "LblTableFilter", QStringLiteral("Fi&lter:"));
  CBFilter_ = new controls::TNoxComboBox(this);
  CBFilter_->setObjectName(QStringLiteral("CBFilter"));
  CBFilter_->SetLoadStyle(controls::TLoadStyle::lsFromFilePath);
  CBFilter_->SetSourceFile(QString::fromStdString(FilterListPath().string()));
  LblFilter_->setBuddy(CBFilter_);
  Describe(*CBFilter_, QString(),
           QStringLiteral("An engine filter expression, such as CITY = 'Riga'; the list holds the "
                          "filters used before"));
  BBFilter_ = MakeButton(this, "BBFilter", QStringLiteral("&Apply"),
                         QStringLiteral("Shows only the records the filter lets through"));
  Describe(*BBFilter_, QString(), QStringLiteral("Shows only the records the filter lets through"));

  LLRecords_ = new controls::TNoxLookList(this);
  LLRecords_->setObjectName(QStringLiteral("LLRecords"));
  LLRecords_->SetDataSource(source_);
  LLRecords_->SetReadOnly(true);  // records are corrected in the fields below
  LLRecords_->SetCutCols(true);
  Describe(*LLRecords_, QStringLiteral("Records"),
           QStringLiteral("The records; typing in an indexed column finds a record"));
  LblNoSearch_ = MakeLabel(this, "LblNoSearch",
                           QStringLiteral("No index begins with this column: typing does not "
                                          "search it"));
  LblNoSearch_->hide();

  SBFields_ = new QScrollArea(this);
  SBFields_->setObjectName(QStringLiteral("SBFields"));
  SBFields_->setWidgetResizable(true);
  PanelFields_ = new QWidget;
  PanelFields_->setObjectName(QStringLiteral("PanelFields"));
  new QFormLayout(PanelFields_);
  SBFields_->setWidget(PanelFields_);

  BBPost_ = MakeButton(this, "BBPost", QStringLiteral("&Store"),
                       QStringLiteral("Stores the corrected record"));
  BBCancel_ = MakeButton(this, "BBCancel", QStringLiteral("Cancel"));
  BBDeleteRecord_ = MakeButton(this, "BBDeleteRecord", QStringLiteral("&Delete"),
                               QStringLiteral("Deletes the current record, after asking"));
  BBClose_ = MakeButton(this, "BBClose", QStringLiteral("&Close"));
  Describe(*BBPost_, QString(), QStringLiteral("Stores the corrected record"));
  Describe(*BBCancel_, QString(), QStringLiteral("Drops the changes of the record"));
  Describe(*BBDeleteRecord_, QString(), QStringLiteral("Deletes the current record, after asking"));
  Describe(*BBClose_, QString(), QStringLiteral("Closes the table window"));

  auto* filterRow = new QHBoxLayout;
  filterRow->addWidget(LblFilter_);
  filterRow->addWidget(CBFilter_, 1);
  filterRow->addWidget(BBFilter_);
  auto* lists = new QHBoxLayout;
  auto* recordsColumn = new QVBoxLayout;
  recordsColumn->addWidget(LLRecords_, 1);
  recordsColumn->addWidget(LblNoSearch_);
  lists->addLayout(recordsColumn, 3);
  lists->addWidget(SBFields_, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(BBPost_);
  buttons->addWidget(BBCancel_);
  buttons->addSpacing(16);
  buttons->addWidget(BBDeleteRecord_);
  buttons->addStretch();
  buttons->addWidget(BBClose_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filterRow);
  layout->addLayout(lists, 1);
  layout->addLayout(buttons);
  resize(860, 480);

  connect(BBFilter_, &QPushButton::clicked, this, [this] { BBFilterClick(); });
  connect(BBPost_, &QPushButton::clicked, this, [this] { BBPostClick(); });
  connect(BBCancel_, &QPushButton::clicked, this, [this] { BBCancelClick(); });
  connect(BBDeleteRecord_, &QPushButton::clicked, this, [this] { BBDeleteRecordClick(); });
  connect(BBClose_, &QPushButton::clicked, this, &QDialog::close);
  connect(source_, &controls::TNoxDataSource::StateChanged, this, &TFormTable::ShowState);
  connect(source_, &controls::TNoxDataSource::DataSetChanged, this, &TFormTable::MakeDurable);
  connect(source_, &controls::TNoxDataSource::RecordChanged, this, &TFormTable::ShowState);
  connect(LLRecords_, &controls::TNoxLookList::SearchPrepared, this, &TFormTable::ShowSearchState);
  ShowState();
}

TFormTable::~TFormTable() = default;

void TFormTable::FormCreate() {
  TNoxForm::FormCreate();
  ownCaption_ = windowTitle();
  // The user's filters live in the user's data folder; a folder that cannot be made shows as the
  // list file's own "cannot create" message.
  std::error_code ignored;
  std::filesystem::create_directories(FilterListPath().parent_path(), ignored);
  CBFilter_->Loaded();
}

bool TFormTable::OpenTable(const std::string& databaseName, const std::string& tableName) {
  source_->SetDataSet(nullptr);
  try {
    table_.Close();
    table_.SetDatabaseName(databaseName);
    table_.SetTableName(tableName);
    // Filtered from the start with an empty filter: a new filter is then checked before it
    // replaces the one in use.
    table_.SetFilter(std::string());
    table_.SetFiltered(true);
    table_.Open();
  } catch (const tables::TableError& error) {
    controls::ShowDataError(error);
    BuildFields();
    ShowState();
    return false;
  }
  setWindowTitle(ownCaption_ + QStringLiteral(" - ") + FromDataText(tableName));
  source_->SetDataSet(&table_);
  BuildFields();
  ShowState();
  LLRecords_->setFocus();  // typing searches at once
  return true;
}

void TFormTable::BuildFields() {
  for (QWidget* child : PanelFields_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    delete child;
  edits_.clear();
  if (!table_.Active()) return;
  auto* form = static_cast<QFormLayout*>(PanelFields_->layout());
  for (int i = 0; i < table_.FieldCount(); ++i) {
    const tables::TField& field = table_.Fields(i);
    const tables::FieldDef& def = table_.FieldDefs()[static_cast<std::size_t>(i)];
    const QString name = FromDataText(field.FieldName());
    QLabel* label = MakeLabel(PanelFields_, "", name);
    label->setObjectName(QStringLiteral("LblField_") + name);
    auto* edit = new controls::TNoxDBEdit(PanelFields_);
    edit->setObjectName(QStringLiteral("EditField_") + name);
    edit->SetDataSource(source_);
    edit->SetDataField(field.FieldName());
    edit->setReadOnly(ReadOnlyInEdit(field.DataType()));
    if (const std::optional<ValueRange> range = FieldRange(def)) {
      edit->SetMin(range->min);
      edit->SetMax(range->max);
      edit->SetCapt(windowTitle());
      edit->SetTxt(range->max == std::numeric_limits<double>::max()
                       ? QStringLiteral("%1 takes a number").arg(name)
                       : QStringLiteral("%1 takes a number from %2 to %3")
                             .arg(name, RangeNumber(range->min), RangeNumber(range->max)));
    }
    label->setBuddy(edit);
    Describe(*edit, QString(), QStringLiteral("The field's value in the current record"));
    form->addRow(label, edit);
    edits_.push_back(edit);
  }
  // The new controls take the window's fonts and character sets.
  RunReported([this] {
    ApplyFonts();
    ChangeCompFont();
  });
}

controls::TNoxDBEdit* TFormTable::FieldEdit(std::string_view fieldName) const {
  for (controls::TNoxDBEdit* edit : edits_) {
    if (tables::EqualNoCase(edit->DataField(), fieldName)) return edit;
  }
  return nullptr;
}

void TFormTable::ShowState() {
  const bool active = source_->Active();
  const bool editing = source_->Editing();
  BBPost_->setEnabled(editing);
  BBCancel_->setEnabled(editing);
  BBDeleteRecord_->setEnabled(active && table_.OrderPosition().has_value());
  BBFilter_->setEnabled(active);
  CBFilter_->setEnabled(active);
}

void TFormTable::ShowSearchState(bool searchable) {
  LblNoSearch_->setVisible(!searchable && source_->Active());
}

void TFormTable::MakeDurable() {
  if (!table_.Active()) return;
  try {
    table_.FlushBuffers();
  } catch (const tables::TableError& error) {
    controls::ShowDataError(error);
  }
}

bool TFormTable::BBPostClick() {
  // A value still in its edit is checked and written first (a value out of range is refused).
  const bool stored = source_->Post();
  ShowState();
  return stored;
}

void TFormTable::BBCancelClick() {
  source_->Cancel();
  ShowState();
}

bool TFormTable::BBDeleteRecordClick() {
  if (!source_->Active() || !table_.OrderPosition()) return false;
  if (NoxMessageBox(windowTitle(), QStringLiteral("Delete the record?"),
                    static_cast<int>(SoobchenIcon::Question), kSoobchenSecondButton,
                    kSoobchenYesNo) != 0) {
    return false;
  }
  bool deleted = true;
  try {
    table_.Delete();  // a correction not yet stored goes with it
    table_.FlushBuffers();
  } catch (const tables::TableError& error) {
    controls::ShowDataError(error);
    deleted = false;
  }
  source_->Resync();
  return deleted;
}

bool TFormTable::BBFilterClick() {
  if (!source_->Active()) return false;
  const QString typed = CBFilter_->text().trimmed();
  const std::optional<std::string> expression = ToDataText(typed, ControlCodePage(*CBFilter_));
  if (!expression) {
    ShowError(
        QStringLiteral("The filter \"%1\" holds a character the table cannot store").arg(typed));
    return false;
  }
  if (!source_->CheckBrowseMode()) return false;
  try {
    table_.SetFilter(*expression);
  } catch (const tables::TableError& error) {
    ShowError(QStringLiteral("The filter \"%1\" cannot be used:\r%2")
                  .arg(typed, WithLineBreaks(FromDataText(error.what()))));
    return false;
  }
  source_->Resync();
  if (!typed.isEmpty()) RunReported([&] { CBFilter_->ListFile().AddText(typed); });
  return true;
}

void TFormTable::FormClose(CloseAction& action) {
  TNoxForm::FormClose(action);
  // A correction is stored before the window goes; one the table refuses keeps the window open.
  if (action != CloseAction::caNone && !source_->CheckBrowseMode()) action = CloseAction::caNone;
}

void TFormTable::FormDestroy() {
  source_->SetDataSet(nullptr);
  RunReported([this] { table_.Close(); });
  TNoxForm::FormDestroy();
}

}  // namespace nox::forms
