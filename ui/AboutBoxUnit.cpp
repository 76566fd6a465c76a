#include "ui/AboutBoxUnit.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Info");
  ProductName = new QLabel("<b>Quillmora Editor</b>", this);
  Version = new QLabel("Version 1.0\nFormeln als Bilder setzen.", this);
  OKButton = new QPushButton("OK", this);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ProductName, 0, Qt::AlignHCenter);
  layout->addWidget(Version, 0, Qt::AlignHCenter);
  layout->addWidget(OKButton, 0, Qt::AlignHCenter);
  setFixedSize(sizeHint().expandedTo(QSize(260, 140)));
}
