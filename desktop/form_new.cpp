#include "desktop/form_new.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>
#include <optional>
#include <utility>

#include "convert/conversion_run.h"
#include "convert/workspace.h"
#include "forms/controls.h"
#include "forms/double_click.h"
#include "forms/file_dialog.h"
#include "forms/text.h"
#include "host/messages.h"

namespace nox::forms {
namespace {

// The core keeps paths in the description's code page; a name it cannot write is refused whole.
constexpr std::string_view kUnwritablePath =
    "The name of the chosen file holds characters that Windows-1257 cannot write.";

}  // namespace

TFormNew::TFormNew(QWidget* parent) : TNoxForm(parent) {
  setObjectName(QStringLiteral("FormNew"));
  setWindowTitle(QStringLiteral("New Convertation"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowStaysOnTopHint);

  auto* groups = new QHBoxLayout;
  groups->addWidget(MakeGroup("GBSource", QStringLiteral("Source"), source_, "Source"));
  groups->addWidget(MakeGroup("GBTarget", QStringLiteral("Target"), target_, "Target"));

  QHBoxLayout* buttons = MakeOkCancelRow(*this, BBOk_, BBCancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(groups);
  layout->addLayout(buttons);
  resize(560, 170);

  connect(source_.browse, &QPushButton::clicked, this, [this] { BtnSourceClick(); });
  connect(target_.browse, &QPushButton::clicked, this, [this] { BtnTargetClick(); });
  connect(BBOk_, &QPushButton::clicked, this, &QDialog::accept);
  connect(BBCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

QGroupBox* TFormNew::MakeGroup(const char* name, const QString& title, Side& side,
                               const char* prefix) {
  auto* box = new QGroupBox(title, this);
  box->setObjectName(QString::fromLatin1(name));
  FileFields fields;
  QGridLayout* grid = MakeFileFields(*box, prefix, fields);
  side.path = fields.path;
  side.name = fields.name;
  side.extension = fields.extension;
  side.browse = new QPushButton(QStringLiteral("Browse"), box);
  side.browse->setObjectName(QStringLiteral("Btn%1").arg(QLatin1String(prefix)));
  Describe(*side.browse, QString(),
           QStringLiteral("Chooses the %1 table").arg(QString::fromLatin1(prefix).toLower()));

  // Double-clicking a field does what the group's Browse button does.
  QPushButton* browse = side.browse;
  for (QLineEdit* edit : {side.path, side.name, side.extension})
    OnDoubleClick(*edit, [browse] { browse->click(); });
  grid->addWidget(side.browse, 2, 2);
  return box;
}

std::string TFormNew::SourcePath() const {
  return source_.fileName;
}

std::string TFormNew::TargetPath() const {
  return target_.fileName;
}

void TFormNew::FormShow() {
  TNoxForm::FormShow();
  BBOk_->setEnabled(false);
  source_.browse->setFocus();
}

void TFormNew::BtnSourceClick() {
  Browse(source_, target_, "OpenDialogSource", QStringLiteral("Open Source File"));
}

void TFormNew::BtnTargetClick() {
  Browse(target_, source_, "OpenDialogTarget", QStringLiteral("Open Target File"));
}

void TFormNew::FillSide(Side& side, const std::string& fileName) {
  const convert::PathParts parts = convert::SplitTablePath(fileName);
  side.fileName = fileName;
  ShowFromStart(*side.path, FromDataText(parts.path));
  // A name without any "." shows no name at all, only its path.
  ShowFromStart(*side.name, parts.extension.empty() ? QString() : FromDataText(parts.name));
  ShowFromStart(*side.extension, FromDataText(parts.extension));
}

void TFormNew::Browse(Side& side, Side& other, const char* dialogName, const QString& title) {
  FileDialogSpec spec;
  spec.kind = FileDialogSpec::Kind::Open;
  spec.title = title;
  spec.name = QString::fromLatin1(dialogName);
  spec.filter = QString::fromLatin1(kTablesFilter);
  spec.fileName = FromDataText(side.fileName);
  const std::optional<QString> chosen = RunFileDialog(this, spec);
  if (!chosen) return;
  const std::optional<std::string> fileName = ToDataText(*chosen);
  if (!fileName) {
    host::ShowMessage(host::MessageKind::Error, kUnwritablePath);
    return;
  }
  FillSide(side, *fileName);
  if (!other.fileName.empty()) {
    BBOk_->setEnabled(true);
    BBOk_->setFocus();
  } else {
    other.browse->setFocus();
  }
  // Exact comparison: the same file named in another letter case is not caught here.
  if (source_.fileName == target_.fileName) RejectSameFile();
}

void TFormNew::RejectSameFile() {
  host::ShowMessage(host::MessageKind::Error, convert::workspace_messages::kSameFile);
  target_.fileName.clear();
  for (QLineEdit* edit : {target_.path, target_.name, target_.extension})
    edit->clear();
  BBOk_->setEnabled(false);
  // The focus was on OK, which is no longer offered: the target is what is to be chosen again.
  target_.browse->setFocus();
}

TFormFile::TFormFile(convert::Workspace& workspace, QWidget* parent)
    : TFormNew(parent), workspace_(workspace) {
  setObjectName(QStringLiteral("FormFile"));
  setWindowTitle(QStringLiteral("Change bazes"));
}

void TFormFile::FormShow() {
  // Not TFormNew's: the tables are already chosen, so OK stays offered.
  TNoxForm::FormShow();
  convert::Workspace::Bases bases;
  const bool complete = workspace_.ReadBases(bases);
  if (!bases.source.empty()) FillSide(source_, bases.source);
  if (!bases.target.empty()) FillSide(target_, bases.target);
  // Malformed FILES lines have no place for new paths (the workspace refuses them): OK is not
  // offered until both sides are chosen again.
  BBOk_->setEnabled(complete);
}

}  // namespace nox::forms
