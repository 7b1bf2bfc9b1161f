#include "desktop/form_conv_options.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>
#include <string>

#include "convert/workspace.h"
#include "forms/controls.h"
#include "forms/text.h"
#include "host/messages.h"

namespace nox::forms {
namespace {

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& title, QWidget* content) {
  auto* box = new QGroupBox(title, parent);
  box->setObjectName(QString::fromLatin1(name));
  content->setParent(box);
  auto* layout = new QVBoxLayout(box);
  layout->addWidget(content);
  return box;
}

QLineEdit* MakeEntry(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  GuardCodePage(*edit);
  return edit;
}

// The entry's text in the description's code page; the guard lets only such text be typed, but
// text put there otherwise is refused with a message naming the entry.
std::optional<std::string> EntryText(const QLineEdit& edit, std::string_view what) {
  std::optional<std::string> text = ToDataText(edit.text());
  if (!text) {
    std::string message(what);
    message.append(" hold characters that Windows-1257 cannot write.");
    host::ShowMessage(host::MessageKind::Error, message);
  }
  return text;
}

}  // namespace

TFormConvOptions::TFormConvOptions(convert::Workspace& workspace, QWidget* parent)
    : TNoxForm(parent), workspace_(workspace) {
  setObjectName(QStringLiteral("FormConvOptions"));
  setWindowTitle(QStringLiteral("Convertation options"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

  auto* checks = new QWidget;
  CBClearTarget_ = new QCheckBox(QStringLiteral("Clear Target before convertation"), checks);
  CBClearTarget_->setObjectName(QStringLiteral("CBClearTarget"));
  CBLatvian_ = new QCheckBox(QStringLiteral("Convert to Latvian"), checks);
  CBLatvian_->setObjectName(QStringLiteral("CBLatvian"));
  auto* checkLayout = new QVBoxLayout(checks);
  checkLayout->setContentsMargins(0, 0, 0, 0);
  checkLayout->addWidget(CBClearTarget_);
  checkLayout->addWidget(CBLatvian_);
  EditPack_ = MakeEntry(this, "EditPack");
  EditFilter_ = MakeEntry(this, "EditFilter");

  QHBoxLayout* buttons = MakeOkCancelRow(*this, BBOk_, BBCancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(MakeGroup(this, "GBOptions", QStringLiteral(" Convertation options "), checks));
  layout->addWidget(MakeGroup(this, "GBPack", QStringLiteral(" Pack fields "), EditPack_));
  layout->addWidget(MakeGroup(this, "GBFilter", QStringLiteral(" Source filter "), EditFilter_));
  layout->addLayout(buttons);
  resize(400, 260);
  // The check boxes moved into their group after the entries were made: the keyboard follows the
  // window from top to bottom all the same.
  QWidget* previous = CBClearTarget_;
  for (QWidget* next :
       std::initializer_list<QWidget*>{CBLatvian_, EditPack_, EditFilter_, BBOk_, BBCancel_}) {
    setTabOrder(previous, next);
    previous = next;
  }
  Describe(*CBClearTarget_, QString(),
           QStringLiteral("Empties the target table before the conversion"));
  Describe(*CBLatvian_, QString(),
           QStringLiteral("Converts texts from the Latvian DOS code page to Windows-1257"));
  Describe(*EditPack_, QStringLiteral("Pack fields"),
           QStringLiteral("Target fields whose values add up in a record of the same key, "
                          "separated by semicolons"));
  Describe(*EditFilter_, QStringLiteral("Source filter"),
           QStringLiteral("Only source records meeting this condition are converted"));

  // Clicks and edits, not programmatic filling, count as changes.
  for (QCheckBox* box : {CBClearTarget_, CBLatvian_})
    connect(box, &QCheckBox::clicked, this, [this] { SetChanged(); });
  for (QLineEdit* edit : {EditPack_, EditFilter_})
    connect(edit, &QLineEdit::textEdited, this, [this] { SetChanged(); });
  connect(BBOk_, &QPushButton::clicked, this, [this] { BBOkClick(); });
  connect(BBCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormConvOptions::FormShow() {
  TNoxForm::FormShow();
  convert::ConvertationOptions options;
  workspace_.ReadOptions(options);
  EditPack_->setText(FromDataText(options.packFields));
  CBClearTarget_->setChecked(options.clearTarget);
  EditFilter_->setText(FromDataText(options.filter));
  CBLatvian_->setChecked(options.latvian);
  optionsChanged_ = false;

  const std::string& context = workspace_.DialogContext;
  if (context == "FILTER") {
    EditFilter_->setFocus();
  } else if (context == "PACK") {
    EditPack_->setFocus();
  } else {
    BBOk_->setFocus();
  }
  workspace_.DialogContext.clear();
}

void TFormConvOptions::BBOkClick() {
  if (!optionsChanged_) {
    accept();
    return;
  }
  convert::ConvertationOptions options;
  const std::optional<std::string> pack = EntryText(*EditPack_, "The pack fields");
  if (!pack) return;
  const std::optional<std::string> filter = EntryText(*EditFilter_, "The source filter");
  if (!filter) return;
  options.packFields = *pack;
  options.clearTarget = CBClearTarget_->isChecked();
  options.filter = *filter;
  options.latvian = CBLatvian_->isChecked();
  // The workspace shows why it refused (an unknown pack field, option lines out of place); the
  // window stays open so the user can correct or cancel.
  if (workspace_.ChangeOptions(options)) accept();
}

}  // namespace nox::forms
