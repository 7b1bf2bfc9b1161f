// The windows as a keyboard user and a screen reader meet them: the order Tab follows, the keys
// that close, and what the accessibility interface says of every control.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "convert/description_file.h"
#include "convert/workspace.h"
#include "desktop/form_about.h"
#include "desktop/form_conv_options.h"
#include "desktop/form_convert.h"
#include "desktop/form_func.h"
#include "desktop/form_memo.h"
#include "desktop/form_new.h"
#include "desktop/form_table.h"
#include "desktop/form_view.h"
#include "desktop/main_form.h"

namespace nox::forms {
namespace {

// The named controls that Tab reaches, in the order it reaches them, starting from `first`.
QStringList TabOrder(QWidget& first) {
  QStringList names;
  QWidget* widget = &first;
  do {
    if (widget->focusPolicy() & Qt::TabFocus && !widget->isHidden() && widget->isEnabled() &&
        !widget->objectName().isEmpty())
      names << widget->objectName();
    widget = widget->nextInFocusChain();
  } while (widget != &first && names.size() < 50);
  return names;
}

TEST(KeyboardTest, OptionsDialogTabsFromTopToBottom) {
  convert::Workspace workspace;
  auto form = CreateForm<TFormConvOptions>(workspace);
  QWidget* first = form->findChild<QWidget*>(QStringLiteral("CBClearTarget"));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(TabOrder(*first), (QStringList{"CBClearTarget", "CBLatvian", "EditPack", "EditFilter",
                                           "BBOk", "BBCancel"}));
}

TEST(KeyboardTest, EscapeClosesTheFormulaWizard) {
  convert::Workspace workspace;
  auto wizard = CreateForm<TFormMemo>(workspace, nullptr, nullptr);
  wizard->show();
  QTest::keyClick(wizard->findChild<QLineEdit*>(QStringLiteral("Edit")), Qt::Key_Escape);
  EXPECT_FALSE(wizard->isVisible());
}

MainFormStart NoWait() {
  MainFormStart start;
  start.busyWait = false;
  return start;
}

bool IsControl(const QWidget& widget) {
  return qobject_cast<const QAbstractButton*>(&widget) != nullptr ||
         qobject_cast<const QLineEdit*>(&widget) != nullptr ||
         qobject_cast<const QAbstractItemView*>(&widget) != nullptr ||
         qobject_cast<const QPlainTextEdit*>(&widget) != nullptr ||
         qobject_cast<const QProgressBar*>(&widget) != nullptr;
}

// Every control a user can see has a name and a description through Qt's accessibility
// interface, and no two controls side by side share a name.
TEST(AccessibilityTest, EveryControlHasANameAndADescription) {
  convert::Workspace workspace;
  const convert::DescriptionText text;
  using Make = std::function<FormPtr<TNoxForm>()>;
  const std::vector<std::pair<const char*, Make>> windows = {
      {"main", [] { return CreateForm<TMainForm>(NoWait()); }},
      {"conversion",
       [] {
         FormConvertHooks hooks;
         hooks.inputs = [] { return convert::ConversionInputs{}; };
         return CreateForm<TFormConvert>(std::move(hooks));
       }},
      {"new", [] { return CreateForm<TFormNew>(); }},
      {"options", [&] { return CreateForm<TFormConvOptions>(workspace); }},
      {"editor", [&] { return CreateForm<TFormFunc>(workspace, nullptr); }},
      {"wizard", [&] { return CreateForm<TFormMemo>(workspace, nullptr, nullptr); }},
      {"view", [&] { return CreateForm<TFormView>(text); }},
      {"about", [] { return CreateForm<TFormAbout>(); }},
      {"table", [] { return CreateForm<TFormTable>(); }},
  };
  for (const auto& [what, make] : windows) {
    SCOPED_TRACE(what);
    FormPtr<TNoxForm> window = make();
    std::map<std::pair<QObject*, QString>, QString> names;  // (parent, name) -> control
    for (QWidget* widget : window->findChildren<QWidget*>()) {
      // The program's controls carry their names; Qt's own parts (a grid's corner button) do not.
      if (!IsControl(*widget) || widget->isHidden() || widget->objectName().isEmpty() ||
          widget->objectName().startsWith(QLatin1String("qt_")))
        continue;
      const std::string control = widget->objectName().toStdString();
      QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
      ASSERT_NE(accessible, nullptr) << control;
      const QString name = accessible->text(QAccessible::Name).trimmed();
      EXPECT_FALSE(name.isEmpty()) << control;
      EXPECT_FALSE(accessible->text(QAccessible::Description).trimmed().isEmpty()) << control;
      const auto [at, added] =
          names.emplace(std::pair{widget->parent(), name}, widget->objectName());
      EXPECT_TRUE(added) << control << " and " << at->second.toStdString() << " are both \""
                         << name.toStdString() << "\"";
    }
  }
}

// Labels name their fields (the field settings find a field's caption through its buddy).
TEST(AccessibilityTest, LabelsAreTiedToTheirFields) {
  auto mainForm = CreateForm<TMainForm>(NoWait());
  auto formNew = CreateForm<TFormNew>();
  const std::vector<std::pair<QWidget*, std::pair<const char*, const char*>>> cases = {
      {mainForm.get(), {"EditFunc", "Convertation function"}},
      {mainForm.get(), {"EditPack", "Pack fields"}},
      {mainForm.get(), {"EditFilter", "Source file filter"}},
      {formNew.get(), {"EditSourcePath", "Path"}},
      {formNew.get(), {"EditSourceName", "File Name"}},
      {formNew.get(), {"EditTargetExt", "Extension"}},
  };
  for (const auto& [window, expected] : cases) {
    const auto [field, caption] = expected;
    auto* widget = window->findChild<QWidget*>(QString::fromLatin1(field));
    ASSERT_NE(widget, nullptr) << field;
    QString buddyCaption;
    for (const QLabel* label : window->findChildren<QLabel*>()) {
      if (label->buddy() == widget) buddyCaption = label->text();
    }
    EXPECT_EQ(buddyCaption, QString::fromLatin1(caption)) << field;
  }
}

}  // namespace
}  // namespace nox::forms
