#include "app/Main.h"
#include "app/Globals.h"

#include <QApplication>

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tamberlin"));
  createWindows();
  Form1->show();
  return app.exec();
}
