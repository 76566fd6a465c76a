// Formulas between the editor and LibreOffice through the clipboard: what
// "Als MathML kopieren" offers Writer, and what "Einfügen" takes from
// LibreOffice Math (its notation as text) and from Writer (the formula
// object's zip).
#include <QFile>
#include <QMimeData>
#include <QTest>

#include "export/FormulaObject.h"
#include "textio/FormulaText.h"
#include "ui/FormulaClipboard.h"

namespace {

QByteArray SeedFile(const char* name) {
  QFile file(qEnvironmentVariable("QM_SOURCE_DIR") + "/tests/export/odf/" + name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString Latex(const TFormulaLine* line) {
  return QString::fromStdU16String(LatexFromFormula(line));
}

}  // namespace

class LibreOfficeClipboardTest : public QObject {
  Q_OBJECT

 private slots:
  // Writer pastes an editable formula when both flavours are offered.
  void copyOffersTheFormulaObjectBesideTheMathML() {
    TEntryCursor cursor = nullptr;
    TOwnedLine sample(CreateLine(&cursor));
    BuildSampleFormula(sample.get());
    const std::unique_ptr<QMimeData> data = MakeMathMLData(sample.get());
    QVERIFY(data->hasFormat(kMathMLMimeType));
    QVERIFY(data->formats().contains(kObjectDescriptorFlavour));
    const QByteArray zip = data->data(kEmbedSourceFlavour);
    QVERIFY(zip.startsWith(QByteArray("PK\x03\x04", 4)));
    QCOMPARE(zip.mid(30, 8), QByteArray("mimetype"));

    auto offer = std::make_unique<QMimeData>();
    offer->setData(kEmbedSourceFlavour, zip);
    TOwnedLine back;
    QString problem;
    QVERIFY2(FormulaFromClipboard(offer.get(), &cursor, back, problem), qPrintable(problem));
    QCOMPARE(Latex(back.get()), Latex(sample.get()));
  }

  void pasteFromLibreOffice_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("latex");    // what is pasted
    QTest::addColumn<QString>("message");  // or why nothing is
    // As LibreOffice Math 7.4 copies a formula: its text only.
    QTest::newRow("LibreOffice Math's copy, StarMath as text")
        << "text/plain" << QByteArray("x = {-b +- sqrt{b^2 - 4ac}} over {2a}")
        << "x = \\frac{-b \\pm \\sqrt{\\left(b\\right)^{2} - 4ac}}{2a}"
        << "";
    QTest::newRow("LibreOffice Math's command window, all of it copied")
        << "text/plain"
        << QByteArray(
               "x = {-b +- sqrt{b^2 - 4ac}} over {2a} + %alpha cdot func f(x) + left lline "
               "y right rline")
        << "x = \\frac{-b \\pm \\sqrt{\\left(b\\right)^{2} - 4ac}}{2a} + "
           "\\alpha\\cdot\\operatorname{f}\\left(x\\right) + \\left|y\\right|"
        << "";
    // As Writer 7.4 copies a formula object selected in a text (the zip).
    QTest::newRow("a formula object, as Writer copies it")
        << kEmbedSourceFlavour << SeedFile("ok-writer-clipboard.odf")
        << "x=\\frac{-b{\\pm}\\sqrt{\\left(b\\right)^{2}-4{ac}}}{2a}"
        << "";
    QTest::newRow("a formula object, as LibreOffice saves it")
        << kEmbedSourceFlavour << SeedFile("ok-libreoffice-saved.odf")
        << "\\left(x\\right)^{2}\\cdot{}y"
        << "";
    QTest::newRow("a damaged formula object")
        << kEmbedSourceFlavour << SeedFile("bad-cut.odf") << ""
        << "Das Formeldokument ist beschädigt.";
    QTest::newRow("StarMath with a mistake says where")
        << "text/plain" << QByteArray("sqrt{x over") << ""
        << "Zeile 1, Spalte 8: Nach „over“ fehlt ein Argument.";
    QTest::newRow("LaTeX stays LaTeX")
        << "text/plain" << QByteArray("\\frac{1}{2}") << "\\frac{1}{2}"
        << "";
  }

  void pasteFromLibreOffice() {
    QFETCH(QString, format);
    QFETCH(QByteArray, content);
    QFETCH(QString, latex);
    QFETCH(QString, message);
    QVERIFY(!content.isEmpty());
    auto offer = std::make_unique<QMimeData>();
    offer->setData(format, content);
    TEntryCursor cursor = nullptr;
    TOwnedLine formula;
    QString problem;
    const bool read = FormulaFromClipboard(offer.get(), &cursor, formula, problem);
    QCOMPARE(read, message.isEmpty());
    QCOMPARE(read ? Latex(formula.get()) : problem, read ? latex : kNoReadableFormula + message);
  }
};

QTEST_MAIN(LibreOfficeClipboardTest)
#include "LibreOfficeClipboardTest.moc"
