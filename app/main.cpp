#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  QWidget w;
  w.setWindowTitle(QStringLiteral("Tamberlin"));
  w.show();
  return app.exec();
}
