#include "forms/translation.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAction>
#include <QButtonGroup>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <functional>

#include "forms/char_sets.h"
#include "forms/fonts.h"
#include "forms/form_services.h"
#include "forms/grad_caption.h"
#include "forms/message_box.h"
#include "forms/nox_form.h"
#include "forms/shared_state.h"
#include "forms/text.h"
#include "forms/translation_store.h"
#include "host/messages.h"
#include "tables/table.h"

namespace nox::forms {
namespace {

constexpr int kMaxListItems = 1000;
constexpr int kMenuLevels = 3;

host::CodePage ClassCodePage(LanguageClass language) {
  const InterfaceSettings& settings = FormSharedState::Instance().Settings();
  return CodePageOfCharSet(settings.CharSet(language), settings);
}

std::string KeyOf(const QString& name) {
  return name.toStdString();
}

std::string IndexedKey(const QString& name, int index) {
  return KeyOf(name) + "_" + std::to_string(index);
}

LanguageClass OwnClass(const QObject& control) {
  return ControlLanguageClass(control).value_or(LanguageClass::Interface);
}

// Sets a target to the key's text when the table has a text for it that is not blank.
void Apply(const std::string& key, LanguageClass language,
           const std::function<void(const QString&)>& set) {
  if (const std::optional<QString> text = TranslatedText(key, language)) set(*text);
}

// The window's own components in creation order; those of a window it owns are that window's.
QList<QObject*> ComponentsOf(TNoxForm& form) {
  QList<QObject*> components;
  for (QObject* object : form.findChildren<QObject*>()) {
    QObject* up = object->parent();
    while (up != nullptr && qobject_cast<TNoxForm*>(up) == nullptr)
      up = up->parent();
    // Parts that Qt builds inside its widgets are named "qt_..." and are nobody's controls.
    if (up == &form && !object->objectName().isEmpty() &&
        !object->objectName().startsWith(QLatin1String("qt_"))) {
      components << object;
    }
  }
  return components;
}

bool IsNavigator(const QObject& control) {
  return control.property("NavigatorHints").isValid();
}

bool HasDeclaredProperty(const QObject& control, const char* name) {
  return control.metaObject()->indexOfProperty(name) >= 0 || control.property(name).isValid();
}

QButtonGroup* RadioGroupOf(const QGroupBox& box) {
  return box.findChild<QButtonGroup*>(QString(), Qt::FindDirectChildrenOnly);
}

// A pop-up menu of its own, not one opened from a menu bar or another menu.
bool IsPopupMenu(const QMenu& menu) {
  return qobject_cast<const QMenuBar*>(menu.parent()) == nullptr &&
         qobject_cast<const QMenu*>(menu.parent()) == nullptr;
}

QString ActionName(const QAction& action) {
  if (!action.objectName().isEmpty()) return action.objectName();
  if (const QMenu* menu = action.menu()) return menu->objectName();
  return {};
}

// Every menu item down to `levels` levels, with its name.
void ForEachMenuItem(const QList<QAction*>& actions, int levels,
                     const std::function<void(QAction&, const QString&)>& visit) {
  for (QAction* action : actions) {
    if (action->isSeparator()) continue;
    const QString name = ActionName(*action);
    if (!name.isEmpty()) visit(*action, name);
    if (levels > 1 && action->menu() != nullptr) {
      ForEachMenuItem(action->menu()->actions(), levels - 1, visit);
    }
  }
}

// The panels of a status bar: its labels, in order.
QList<QLabel*> StatusPanels(QStatusBar& bar) {
  return bar.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
}

LanguageClass PageClass(const QTabWidget& pages) {
  if (ControlLanguageClass(pages) &&
      QString::fromStdString(FormSharedState::Instance().SettingValue("PAGE CONTROL")).toUpper() ==
          u"AS SYSTEM") {
    return LanguageClass::System;
  }
  return OwnClass(pages);
}

bool IsDataGrid(const QObject& control) {
  return qobject_cast<const QTableView*>(&control) != nullptr &&
         qobject_cast<const QTableWidget*>(&control) == nullptr;
}

// The columns of a data grid with the field each shows.
template <typename Visit>
void ForEachGridColumn(QTableView& grid, Visit&& visit) {
  QAbstractItemModel* model = grid.model();
  if (model == nullptr) return;
  for (int column = 0; column < model->columnCount(); ++column) {
    const QString field = model->headerData(column, Qt::Horizontal, kFieldNameRole).toString();
    if (!field.isEmpty()) visit(*model, column, field);
  }
}

void TranslateControl(TNoxForm& form, QObject& component) {
  const QString name = component.objectName();
  const std::string key = KeyOf(name);
  if (auto* label = qobject_cast<QLabel*>(&component)) {
    Apply(key, OwnClass(component), [label](const QString& text) { label->setText(text); });
  } else if (auto* box = qobject_cast<QGroupBox*>(&component)) {
    Apply(key, OwnClass(component), [box](const QString& text) { box->setTitle(text); });
    if (QButtonGroup* group = RadioGroupOf(*box)) {
      const QList<QAbstractButton*> items = group->buttons();
      for (int i = 0; i < items.size(); ++i) {
        QAbstractButton* item = items[i];
        Apply(IndexedKey(name, i), OwnClass(component),
              [item](const QString& text) { item->setText(text); });
      }
    }
  } else if (auto* button = qobject_cast<QAbstractButton*>(&component)) {
    Apply(key, OwnClass(component), [button](const QString& text) { button->setText(text); });
  } else if (HasDeclaredProperty(component, "Messages")) {
    component.setProperty("Messages", ComboMessages());
  } else if (auto* tabs = qobject_cast<QTabBar*>(&component)) {
    for (int i = 0; i < tabs->count(); ++i) {
      Apply(IndexedKey(name, i), OwnClass(component),
            [tabs, i](const QString& text) { tabs->setTabText(i, text); });
    }
  } else if (auto* pages = qobject_cast<QTabWidget*>(&component)) {
    const LanguageClass language = PageClass(*pages);
    for (int i = 0; i < pages->count(); ++i) {
      const QString page = pages->widget(i)->objectName();
      if (page.isEmpty()) continue;
      Apply(KeyOf(page), language, [pages, i](const QString& text) { pages->setTabText(i, text); });
    }
  } else if (auto* list = qobject_cast<QListWidget*>(&component);
             list != nullptr && ControlLanguageClass(component)) {
    // The list grows by the entries the table holds, up to the first index without a text.
    for (int i = 0; i <= kMaxListItems; ++i) {
      const std::optional<QString> text = TranslatedText(IndexedKey(name, i), OwnClass(component));
      if (!text) break;
      if (i < list->count()) {
        list->item(i)->setText(*text);
      } else {
        list->addItem(*text);
      }
    }
  } else if (HasDeclaredProperty(component, "LookDispLabel")) {  // a lookup list is a grid too
    Apply(key, LanguageClass::Interface,
          [&component](const QString& text) { component.setProperty("LookDispLabel", text); });
  } else if (IsDataGrid(component)) {
    ForEachGridColumn(static_cast<QTableView&>(component),
                      [](QAbstractItemModel& model, int column, const QString& field) {
                        Apply(KeyOf(field), LanguageClass::Interface, [&](const QString& text) {
                          model.setHeaderData(column, Qt::Horizontal, text);
                        });
                      });
  } else if (auto* caption = qobject_cast<TGradCaption*>(&component)) {
    if (form.objectName().toUpper() != u"MAINFORM") caption->SetCaption(form.windowTitle());
  } else if (auto* bar = qobject_cast<QMenuBar*>(&component)) {
    ForEachMenuItem(bar->actions(), kMenuLevels, [](QAction& item, const QString& itemName) {
      Apply(KeyOf(itemName), LanguageClass::System,
            [&item](const QString& text) { item.setText(text); });
    });
  } else if (auto* menu = qobject_cast<QMenu*>(&component); menu != nullptr && IsPopupMenu(*menu)) {
    ForEachMenuItem(menu->actions(), 1, [](QAction& item, const QString& itemName) {
      Apply(KeyOf(itemName), LanguageClass::System,
            [&item](const QString& text) { item.setText(text); });
    });
  } else if (auto* status = qobject_cast<QStatusBar*>(&component)) {
    const QList<QLabel*> panels = StatusPanels(*status);
    for (int i = 0; i < panels.size(); ++i) {
      QLabel* panel = panels[i];
      Apply(IndexedKey(name, i), LanguageClass::Interface,
            [panel](const QString& text) { panel->setText(text); });
    }
  }
}

void TranslateNavigator(QObject& navigator) {
  const std::vector<std::string>* lines = FormSharedState::Instance().ResourceStringList();
  const int language = FormSharedState::Instance().Settings().Language(LanguageClass::System);
  const std::optional<std::vector<std::string>> hints =
      lines != nullptr ? NavigatorHints(*lines, KeyOf(navigator.objectName()), language)
                       : std::nullopt;
  if (!hints) return;
  QStringList decoded;
  for (const std::string& hint : *hints)
    decoded << FromDataText(hint, ClassCodePage(LanguageClass::System));
  navigator.setProperty("NavigatorHints", decoded);
}

// Stores texts under keys with one common flag, each encoded in its class's code page. A text
// that code page has no byte for is not stored; the keys of such texts are reported at the end.
class TextWriter {
 public:
  TextWriter(tables::TTable& table, std::string flag)
      : table_(table), flag_(std::move(flag)), columns_(LanguageColumnCount(table)) {}

  void Store(const std::string& key, const QString& text, LanguageClass language) {
    const std::optional<std::string> bytes = ToDataText(text, ClassCodePage(language));
    if (!bytes) {
      unencodable_.push_back(key);
      return;
    }
    StoreText(table_, key, *bytes, flag_, columns_);
  }

  void ReportUnencodable() const {
    if (unencodable_.empty()) return;
    std::string keys;
    for (const std::string& key : unencodable_)
      keys += (keys.empty() ? "" : ", ") + key;
    host::ShowMessage(host::MessageKind::Warning,
                      "Texts not stored: their code page cannot write them: " + keys);
  }

 private:
  tables::TTable& table_;
  std::string flag_;
  int columns_;
  std::vector<std::string> unencodable_;
};

void StoreControl(TextWriter& writer, QObject& component) {
  const QString name = component.objectName();
  const std::string key = KeyOf(name);
  const LanguageClass own = OwnClass(component);
  if (auto* widget = qobject_cast<QWidget*>(&component);
      widget != nullptr && !IsNavigator(*widget)) {
    writer.Store("Hint_" + key, widget->toolTip(), LanguageClass::System);
  }
  if (auto* label = qobject_cast<QLabel*>(&component)) writer.Store(key, label->text(), own);
  if (auto* box = qobject_cast<QGroupBox*>(&component)) {
    writer.Store(key, box->title(), own);
    if (QButtonGroup* group = RadioGroupOf(*box)) {
      const QList<QAbstractButton*> items = group->buttons();
      for (int i = 0; i < items.size(); ++i)
        writer.Store(IndexedKey(name, i), items[i]->text(), own);
    }
  }
  if (auto* button = qobject_cast<QAbstractButton*>(&component)) {
    writer.Store(key, button->text(), own);
  }
  if (auto* tabs = qobject_cast<QTabBar*>(&component)) {
    for (int i = 0; i < tabs->count(); ++i)
      writer.Store(IndexedKey(name, i), tabs->tabText(i), own);
  }
  if (auto* list = qobject_cast<QListWidget*>(&component); list && ControlLanguageClass(*list)) {
    for (int i = 0; i < list->count(); ++i)
      writer.Store(IndexedKey(name, i), list->item(i)->text(), own);
  }
  if (auto* pages = qobject_cast<QTabWidget*>(&component)) {
    for (int i = 0; i < pages->count(); ++i) {
      const QString page = pages->widget(i)->objectName();
      if (!page.isEmpty()) writer.Store(KeyOf(page), pages->tabText(i), PageClass(*pages));
    }
  }
  if (IsDataGrid(component)) {
    ForEachGridColumn(static_cast<QTableView&>(component), [&](QAbstractItemModel& model,
                                                               int column, const QString& field) {
      writer.Store(KeyOf(field), model.headerData(column, Qt::Horizontal).toString(),
                   LanguageClass::Interface);
    });
  }
  if (HasDeclaredProperty(component, "LookDispLabel")) {
    writer.Store(key, component.property("LookDispLabel").toString(), LanguageClass::Interface);
  }
  if (auto* status = qobject_cast<QStatusBar*>(&component)) {
    const QList<QLabel*> panels = StatusPanels(*status);
    for (int i = 0; i < panels.size(); ++i)
      writer.Store(IndexedKey(name, i), panels[i]->text(), LanguageClass::Interface);
  }
  const auto storeItem = [&writer](QAction& item, const QString& itemName) {
    writer.Store(KeyOf(itemName), item.text(), LanguageClass::System);
  };
  if (auto* bar = qobject_cast<QMenuBar*>(&component)) {
    ForEachMenuItem(bar->actions(), kMenuLevels, storeItem);
  }
  if (auto* menu = qobject_cast<QMenu*>(&component); menu != nullptr && IsPopupMenu(*menu)) {
    ForEachMenuItem(menu->actions(), 1, storeItem);
  }
}

}  // namespace

void InstallTranslation(const std::filesystem::path& programFile) {
  SetProgramFile(programFile);
  FormServices& services = InstalledServices();
  services.openLanguageTable = [](const std::filesystem::path& resourceFile) {
    // A fresh table is filled only by the first window, which has not read its resource
    // strings yet.
    const bool fill = FormSharedState::Instance().ResourceStringList() == nullptr;
    return OpenLanguageTable(tables::NetFileDir(),
                             LanguageTableFileName(ProgramFile().filename().string()), resourceFile,
                             fill);
  };
  services.changeLanguage = [](TNoxForm& form) { ChangeLanguage(form); };
  services.saveTranslation = [](TNoxForm& form) { SaveCompToINI(form); };
}

std::string LookupText(std::string_view key, LanguageClass language) {
  FormSharedState& state = FormSharedState::Instance();
  tables::TTable* table = state.LanguageTable();
  if (table == nullptr) return {};
  return LookupText(*table, key, state.Settings().Language(language));
}

std::optional<QString> TranslatedText(std::string_view key, LanguageClass language) {
  const std::string text = LookupText(key, language);
  if (IsBlankText(text)) return std::nullopt;
  return FromDataText(text, ClassCodePage(language));
}

void ChangeLanguage(TNoxForm& form) {
  const std::vector<std::string>* lines = FormSharedState::Instance().ResourceStringList();
  if (lines == nullptr || lines->empty()) return;
  const QString name = form.objectName();
  if (!name.isEmpty()) {
    Apply(KeyOf(name.section(u'_', 0, 0)), LanguageClass::Interface,
          [&form](const QString& text) { form.setWindowTitle(text); });
    Apply("Hint_" + KeyOf(name), LanguageClass::System,
          [&form](const QString& text) { form.setToolTip(text); });
  }
  for (QObject* component : ComponentsOf(form)) {
    if (auto* widget = qobject_cast<QWidget*>(component)) {
      if (IsNavigator(*widget)) {
        TranslateNavigator(*widget);
      } else {
        Apply("Hint_" + KeyOf(widget->objectName()), LanguageClass::System,
              [widget](const QString& text) { widget->setToolTip(text); });
      }
    }
    TranslateControl(form, *component);
  }
}

void SaveCompToINI(TNoxForm& form) {
  tables::TTable* table = FormSharedState::Instance().LanguageTable();
  if (table == nullptr) return;
  const int answer = NoxMessageBox(
      QStringLiteral("LANGUAGES"), QStringLiteral("Save components text as common?"),
      static_cast<int>(SoobchenIcon::Question), kSoobchenSecondButton, kSoobchenYesNo);
  TextWriter writer(*table, answer == 0 ? "S" : "");
  const std::string name = KeyOf(form.objectName());
  writer.Store(name, form.windowTitle(), LanguageClass::Interface);
  writer.Store("Hint_" + name, form.toolTip(), LanguageClass::System);
  for (QObject* component : ComponentsOf(form))
    StoreControl(writer, *component);
  writer.ReportUnencodable();
}

QStringList ComboMessages() {
  QStringList messages;
  for (const std::string& line : ComboMessageLines(
           [](std::string_view key) { return LookupText(key, LanguageClass::Interface); })) {
    messages << FromDataText(line, ClassCodePage(LanguageClass::Interface));
  }
  return messages;
}

}  // namespace nox::forms
