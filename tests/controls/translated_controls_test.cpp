// The library's controls take their texts from the language table when their window is created.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <fstream>

#include "controls/combo_box.h"
#include "controls/look_list.h"
#include "controls/lookup_combo.h"
#include "forms/form_services.h"
#include "forms/nox_form.h"
#include "forms/shared_state.h"
#include "forms/translation.h"
#include "forms/translation_store.h"

namespace nox::controls {
namespace {

class LookupWindow : public forms::TNoxForm {
 public:
  LookupWindow() {
    setObjectName(QStringLiteral("FormLookup"));
    list = new TNoxLookList(this);
    list->setObjectName(QStringLiteral("LLClients"));
    combo = new TNoxLookupCombo(this);
    combo->setObjectName(QStringLiteral("LCClient"));
    files = new TNoxComboBox(this);
    files->setObjectName(QStringLiteral("CBFiles"));
  }
  TNoxLookList* list;
  TNoxLookupCombo* combo;
  TNoxComboBox* files;
};

TEST(TranslatedControls, LookupLabelsAndComboMessagesComeFromTheLanguageTable) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString previous = QDir::currentPath();
  QDir::setCurrent(dir.path());
  {
    std::ofstream resources(
        dir.filePath(QString::fromLatin1(forms::kDefaultResourceFile)).toStdString(),
        std::ios::binary);
    resources << "* LLClients\r\nClient\r\n\r\n* LCClient\r\nCode\r\n\r\n"
                 "* NOXCBSaveChanges\r\nKeep the list?\r\n\r\n";
  }
  forms::FormSharedState::Instance().Settings() = forms::InterfaceSettings();
  forms::InstallTranslation((dir.path() + QStringLiteral("/noxtest.bin")).toStdString());
  {
    forms::FormPtr<LookupWindow> window = forms::CreateForm<LookupWindow>();
    EXPECT_EQ(window->list->LookDispLabel(), QStringLiteral("Client"));
    EXPECT_EQ(window->combo->LookDispLabel(), QStringLiteral("Code"));
    EXPECT_EQ(ComboMessage(window->files->Messages(), kCBSaveChanges),
              QStringLiteral("Keep the list?"));
  }
  forms::InstalledServices() = forms::FormServices();
  forms::SetProgramFile({});
  QDir::setCurrent(previous);
}

}  // namespace
}  // namespace nox::controls
