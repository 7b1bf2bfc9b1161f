#pragma once
// TFormSettings: the field settings editor behind Ctrl+S. It lists every visible edit field of its
// target window, one row of FormSet.db each, where the user hides, disables or makes required a
// field; the field of the current row and its label are painted yellow in the target meanwhile.
// On close the rows are written back, rows that change nothing are deleted (FormSet.db holds only
// deviations), and the target applies them at once.

#include <QPalette>
#include <QPointer>
#include <optional>
#include <vector>

#include "forms/field_settings.h"
#include "forms/nox_form.h"

class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;

namespace nox::forms {

class TFormSettings : public TNoxForm {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 30;

  explicit TFormSettings(QWidget* parent = nullptr);

  // The window whose fields are set; given before the editor is shown.
  void SetTarget(QWidget* target) { target_ = target; }
  QWidget* Target() const { return target_; }

  // The rows of the target, in key order, as the user has set them so far.
  const std::vector<FieldSetting>& Rows() const { return rows_; }
  // The panel of a row in the grid, holding its TextRecvDesc, ChBVisible, DBCheckBox2 (enabled),
  // DBCheckBox3 (required) and NoxDBEdit1 (condition).
  QFrame* RowPanel(int row) const { return panels_.at(static_cast<std::size_t>(row)); }
  int CurrentRow() const { return current_; }
  void SetCurrentRow(int row);
  // How many rows the grid shows at once.
  int RowCount() const { return rowCount_; }

 protected:
  void FormShow() override;
  void FormResize() override;
  void FormClose(CloseAction& action) override;
  void KeyDown(int& key, Qt::KeyboardModifiers shift) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // A control of the target painted for the current row, with what it looked like before.
  struct Painted {
    QPointer<QWidget> widget;
    QPalette palette;
    bool ownPalette = false;
  };

  void LoadRows();
  void AddFieldRows();
  void AddLabelNames();
  void BuildGrid();
  void SaveRows();
  void Highlight(int row);
  void UndoHighlighting();
  void ShowCurrent();

  QPointer<QWidget> target_;
  QLabel* lblTxtFormName_;
  QScrollArea* ctrlGrid_;
  QWidget* gridRows_;
  QPushButton* btnClose_;
  std::vector<FieldSetting> rows_;
  std::vector<std::optional<FieldSetting>> stored_;  // as FormSet.db held each row
  std::vector<QFrame*> panels_;
  int current_ = -1;
  int rowCount_ = 0;
  bool highlighting_ = true;
  int highlightedRow_ = -1;
  Painted control_;
  Painted label_;
};

// Shows the editor modally for the window and releases it.
void OpenFieldSettings(TNoxForm& target);
// Makes OpenFieldSettings the windows' Ctrl+S service; called once at program start.
void InstallFieldSettingsEditor();

}  // namespace nox::forms
