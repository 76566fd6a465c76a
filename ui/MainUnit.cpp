#include "ui/MainUnit.h"

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("Quillmora Editor");
  resize(780, 580);
}
