#include <QApplication>

#include "ui/MainUnit.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  TMainForm form;
  form.show();
  return app.exec();
}
