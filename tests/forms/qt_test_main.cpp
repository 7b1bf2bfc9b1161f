// The main of the window tests: GoogleTest under one application object on the offscreen platform.

#include <gtest/gtest.h>

#include "forms/application.h"
#include "forms/message_dialog.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  nox::forms::NoxApplication application(argc, argv);
  nox::forms::SetApplicationTitle(QStringLiteral("NOX Test"));
  return RUN_ALL_TESTS();
}
