#include "ui/FormulaHits.h"

#include "ui/FixedDialog.h"

namespace {

// The words for a function of each kind: its own drawing, then its First
// and its Second sequence.
struct TKindWords {
  const char* Own;
  const char* First;
  const char* Second;
};

const TKindWords kWords[kFunctionKindCount] = {
    {"Bruch", "Zähler des Bruchs", "Nenner des Bruchs"},
    {"Wurzel", "Inhalt der Wurzel", "Unterer Teil der Wurzel"},
    {"Summe", "Inhalt der Summe", "Unterer Teil der Summe"},
    {"Potenz", "Exponent der Potenz", "Basis der Potenz"},
    {"Betrag", "Inhalt des Betrags", "Unterer Teil des Betrags"},
    {"Integral", "Inhalt des Integrals", "Unterer Teil des Integrals"},
    {"Funktion", "Argument der Funktion", "Unterer Teil der Funktion"},
};

QString Quoted(const std::u16string* text) { return "„" + ToQString(TextOf(text)) + "“"; }

// The bounds of a sum or an integral, as far as they are given.
QString Bounds(const TFormulaEntry& entry) {
  QString bounds;
  if (!TextOf(entry.Text1).empty()) bounds += " von " + ToQString(TextOf(entry.Text1));
  if (!TextOf(entry.Text2).empty()) bounds += " bis " + ToQString(TextOf(entry.Text2));
  return bounds;
}

QString OwnDrawing(const TFormulaEntry& entry, const TKindWords& words) {
  const QString own = QString::fromUtf8(words.Own);
  switch (entry.Kind) {
    case fkSumme:
    case fkIntegral:
      return own + Bounds(entry);
    case fkWurzel: {
      // The index 2 is not drawn: a square root is just "Wurzel".
      const std::u16string_view index = TextOf(entry.Text1);
      return index.empty() || index == u"2" ? own : ToQString(index) + ". " + own;
    }
    case fkUser:
      return own + " " + Quoted(entry.Text1);
    default:
      return own;
  }
}

}  // namespace

QString SequenceWords(std::uint32_t kind, TSequencePart part) {
  if (kind >= kFunctionKindCount) return QString();
  const TKindWords& words = kWords[kind];
  return QString::fromUtf8(part == TSequencePart::First ? words.First : words.Second);
}

QString DescribeSequence(const TFormulaEntry& entry, TSequencePart part) {
  QString body = SequenceWords(entry.Kind, part);
  if (entry.Kind == fkUser) body += " " + Quoted(entry.Text1);
  return body;
}

TFormulaEntry* HitEntry(TFormulaLine** root, const THit& hit) {
  if (hit.Kind == THitKind::Background) return nullptr;
  TFormulaLine** line = SequenceSlot(root, hit.Line);
  if (line == nullptr || hit.Index >= (*line)->Count()) return nullptr;
  TFormulaEntry* entry = EntryAt(**line, hit.Index);
  const bool isFunction = hit.Kind != THitKind::Term;
  if (entry->IsFunction != (isFunction ? 1u : 0u)) return nullptr;
  if (isFunction && entry->Kind >= kFunctionKindCount) return nullptr;
  return entry;
}

QString DescribeHit(TFormulaLine** root, const THit& hit) {
  const TFormulaEntry* entry = HitEntry(root, hit);
  if (entry == nullptr) return "Ganze Formel";
  if (hit.Kind == THitKind::Term) return "Term " + Quoted(entry->Text1);
  if (hit.Kind == THitKind::Body) return DescribeSequence(*entry, hit.Part);
  return OwnDrawing(*entry, kWords[entry->Kind]);
}
