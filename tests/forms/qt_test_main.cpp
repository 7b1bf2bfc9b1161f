// The main of the window tests: GoogleTest under one application object on the offscreen platform.
// Every window reads and writes the settings file of the current directory, and the first one may
// create the translation directory, so each test program runs in a private directory of its own.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "forms/application.h"
#include "forms/message_dialog.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  nox::forms::NoxApplication application(argc, argv);
  nox::forms::SetApplicationTitle(QStringLiteral("NOX Test"));
  QTemporaryDir home;
  if (!home.isValid() || !QDir::setCurrent(home.path())) return 1;
  qputenv("XDG_DATA_HOME", QDir(home.path()).filePath(QStringLiteral("data")).toLocal8Bit());
  return RUN_ALL_TESTS();
}
