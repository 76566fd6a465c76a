#include "render/PdfText.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <map>
#include <optional>

namespace {

// ---------------------------------------------------------------------------
// The file: objects found through the cross-reference table, each from its
// offset to the next one's, so that stream data is never searched for
// keywords.

struct TObjectSpan {
  int Number = 0;
  qsizetype Begin = 0;
  qsizetype End = 0;
};

struct TPdfFile {
  std::vector<TObjectSpan> Objects;  // in file order
  int Size = 0;                      // entries of the table, the free 0 included
  qsizetype Trailer = 0;             // "trailer" up to "startxref"
  qsizetype StartXref = 0;
};

constexpr qsizetype kXrefEntry = 20;

std::optional<qsizetype> NumberAt(const QByteArray& bytes, qsizetype at, qsizetype& end) {
  end = at;
  while (end < bytes.size() && end - at < 12 && bytes[end] >= '0' && bytes[end] <= '9') ++end;
  if (end == at || end - at >= 12) return std::nullopt;
  return bytes.mid(at, end - at).toLongLong();
}

bool ReadXrefEntries(const QByteArray& pdf, qsizetype table, TPdfFile& file) {
  for (int number = 1; number < file.Size; ++number) {
    const QByteArray entry = pdf.mid(table + number * kXrefEntry, kXrefEntry);
    if (entry.size() != kXrefEntry || entry[17] == 'f') continue;
    qsizetype end = 0;
    const auto offset = NumberAt(entry, 0, end);
    if (!offset || entry[17] != 'n' || *offset >= file.StartXref) return false;
    if (!pdf.mid(*offset).startsWith(QByteArray::number(number) + " 0 obj")) return false;
    file.Objects.push_back({number, *offset, 0});
  }
  return !file.Objects.empty();
}

bool ReadFile(const QByteArray& pdf, TPdfFile& file) {
  file.StartXref = pdf.lastIndexOf("startxref");
  if (file.StartXref < 0) return false;
  qsizetype end = 0;
  const auto xref = NumberAt(pdf, file.StartXref + 10, end);
  if (!xref || *xref >= file.StartXref || !pdf.mid(*xref).startsWith("xref\n0 ")) return false;
  const auto size = NumberAt(pdf, *xref + 7, end);
  if (!size || *size < 2 || *size > 1000000 || pdf[end] != '\n') return false;
  file.Size = static_cast<int>(*size);
  const qsizetype table = end + 1;
  file.Trailer = table + file.Size * kXrefEntry;
  if (!pdf.mid(file.Trailer).startsWith("trailer") || file.Trailer > file.StartXref) return false;
  if (!ReadXrefEntries(pdf, table, file)) return false;
  std::sort(file.Objects.begin(), file.Objects.end(),
            [](const TObjectSpan& a, const TObjectSpan& b) { return a.Begin < b.Begin; });
  for (std::size_t i = 0; i < file.Objects.size(); ++i) {
    file.Objects[i].End = i + 1 < file.Objects.size() ? file.Objects[i + 1].Begin : *xref;
  }
  return true;
}

QByteArray ObjectText(const QByteArray& pdf, const TPdfFile& file, int number) {
  for (const TObjectSpan& object : file.Objects) {
    if (object.Number == number) return pdf.mid(object.Begin, object.End - object.Begin);
  }
  return {};
}

// The objects with some replaced, at their new offsets, and a new table.
QByteArray Rebuilt(const QByteArray& pdf, const TPdfFile& file,
                   const std::map<int, QByteArray>& replaced) {
  QByteArray out = pdf.left(file.Objects.front().Begin);
  std::vector<qsizetype> offsets(file.Size, -1);
  for (const TObjectSpan& object : file.Objects) {
    offsets[object.Number] = out.size();
    const auto found = replaced.find(object.Number);
    out +=
        found != replaced.end() ? found->second : pdf.mid(object.Begin, object.End - object.Begin);
  }
  const qsizetype xref = out.size();
  out += "xref\n0 " + QByteArray::number(file.Size) + "\n0000000000 65535 f \n";
  for (int number = 1; number < file.Size; ++number) {
    out += offsets[number] < 0
               ? QByteArray("0000000000 65535 f \n")
               : QByteArray::number(offsets[number]).rightJustified(10, '0') + " 00000 n \n";
  }
  out += pdf.mid(file.Trailer, file.StartXref - file.Trailer);
  out += "startxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
  return out;
}

// ---------------------------------------------------------------------------
// Streams: the writer deflates the page and writes the glyph maps plain.

struct TStream {
  QByteArray Dictionary;
  QByteArray Data;  // decoded
  bool Deflated = false;
};

const QRegularExpression& LengthEntry() {
  static const QRegularExpression length(R"(/Length\s+(\d+)(\s+0\s+R)?)");
  return length;
}

std::optional<qsizetype> StreamLength(const QByteArray& pdf, const TPdfFile& file,
                                      const QRegularExpressionMatch& length) {
  const qsizetype value = length.captured(1).toLongLong();
  if (length.captured(2).isEmpty()) return value;
  static const QRegularExpression object(R"(^\d+ 0 obj\s+(\d+)\s+endobj)");
  const QRegularExpressionMatch number =
      object.match(QString::fromLatin1(ObjectText(pdf, file, static_cast<int>(value))));
  if (!number.hasMatch()) return std::nullopt;
  return number.captured(1).toLongLong();
}

bool ReadStream(const QByteArray& pdf, const TPdfFile& file, int number, TStream& stream) {
  const QByteArray text = ObjectText(pdf, file, number);
  const qsizetype open = text.indexOf("<<");
  const qsizetype keyword = text.indexOf(">>\nstream\n");
  if (open < 0 || keyword < 0) return false;
  stream.Dictionary = text.mid(open, keyword + 2 - open);
  const auto length =
      StreamLength(pdf, file, LengthEntry().match(QString::fromLatin1(stream.Dictionary)));
  const qsizetype start = keyword + 10;
  if (!length || start + *length > text.size()) return false;
  if (!text.mid(start + *length).trimmed().startsWith("endstream")) return false;
  stream.Data = text.mid(start, *length);
  stream.Deflated = stream.Dictionary.contains("/Filter /FlateDecode");
  if (stream.Dictionary.contains("/Filter") && !stream.Deflated) return false;
  if (!stream.Deflated) return true;
  // The size given first is only a hint; the buffer grows as needed.
  stream.Data = qUncompress(QByteArray(4, '\0') + stream.Data);
  return !stream.Data.isEmpty();
}

QByteArray StreamObject(int number, const TStream& stream) {
  const QByteArray data = stream.Deflated ? qCompress(stream.Data).mid(4) : stream.Data;
  QString dictionary = QString::fromLatin1(stream.Dictionary);
  dictionary.replace(LengthEntry(), "/Length " + QString::number(data.size()));
  return QByteArray::number(number) + " 0 obj\n" + dictionary.toLatin1() + "\nstream\n" + data +
         "\nendstream\nendobj\n";
}

// ---------------------------------------------------------------------------
// The page's content: operators with their operands, and where each stands.

struct TOperation {
  QByteArray Operator;
  std::vector<QByteArray> Operands;
  qsizetype Begin = 0;  // of its first operand, or of the operator
  qsizetype End = 0;    // just after the operator
};

bool IsWhite(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

bool IsDelimiter(char c) { return c != '\0' && std::strchr("()<>[]{}/%", c) != nullptr; }

qsizetype SkipWhite(const QByteArray& s, qsizetype at) {
  while (at < s.size()) {
    if (s[at] == '%') {
      while (at < s.size() && s[at] != '\n' && s[at] != '\r') ++at;
    } else if (IsWhite(s[at])) {
      ++at;
    } else {
      break;
    }
  }
  return at;
}

qsizetype LiteralStringEnd(const QByteArray& s, qsizetype at) {
  int depth = 0;
  for (qsizetype i = at; i < s.size(); ++i) {
    if (s[i] == '\\') {
      ++i;
    } else if (s[i] == '(') {
      ++depth;
    } else if (s[i] == ')' && --depth == 0) {
      return i + 1;
    }
  }
  return -1;
}

qsizetype TokenEnd(const QByteArray& s, qsizetype at);

// A dictionary or an array, with whatever it holds.
qsizetype CompoundEnd(const QByteArray& s, qsizetype at) {
  int depth = 0;
  qsizetype i = at;
  do {
    i = SkipWhite(s, i);
    if (i >= s.size()) return -1;
    const QByteArray two = s.mid(i, 2);
    if (two == "<<" || two == ">>") {
      depth += two == "<<" ? 1 : -1;
      i += 2;
    } else if (s[i] == '[' || s[i] == ']') {
      depth += s[i] == '[' ? 1 : -1;
      ++i;
    } else {
      i = TokenEnd(s, i);
      if (i < 0) return -1;
    }
  } while (depth > 0);
  return depth == 0 ? i : -1;
}

qsizetype TokenEnd(const QByteArray& s, qsizetype at) {
  const char c = s[at];
  if (c == '(') return LiteralStringEnd(s, at);
  if (s.mid(at, 2) == "<<" || c == '[') return CompoundEnd(s, at);
  if (c == '<') {
    const qsizetype end = s.indexOf('>', at);
    return end < 0 ? -1 : end + 1;
  }
  if (c != '/' && IsDelimiter(c)) return -1;
  qsizetype end = at + 1;
  while (end < s.size() && !IsWhite(s[end]) && !IsDelimiter(s[end])) ++end;
  return end;
}

bool IsOperator(const QByteArray& token) {
  const char c = token[0];
  if (c == '/' || c == '(' || c == '<' || c == '[' || c == '+' || c == '-' || c == '.')
    return false;
  if (c >= '0' && c <= '9') return false;
  return token != "true" && token != "false" && token != "null";
}

// Fails on what it cannot read, and on inline images, whose data is not
// made of tokens.
bool ReadOperations(const QByteArray& content, std::vector<TOperation>& operations) {
  TOperation pending;
  for (qsizetype at = SkipWhite(content, 0); at < content.size(); at = SkipWhite(content, at)) {
    const qsizetype end = TokenEnd(content, at);
    if (end < 0) return false;
    const QByteArray token = content.mid(at, end - at);
    if (pending.Operands.empty()) pending.Begin = at;
    if (!IsOperator(token)) {
      pending.Operands.push_back(token);
    } else {
      if (token == "BI" || token == "ID") return false;
      pending.Operator = token;
      pending.End = end;
      operations.push_back(std::move(pending));
      pending = {};
    }
    at = end;
  }
  return pending.Operands.empty();
}

// ---------------------------------------------------------------------------
// Text objects: the writer draws each run of glyphs of one font as
// "q ... BT ... ET Q", a glyph per "x y Td <code> Tj".

struct TTextBlock {
  std::size_t Open = 0;   // its q among the operations
  std::size_t Close = 0;  // the matching Q; 0 while open
  QPointF First;          // where its first glyph stands, in device pixels
  bool Placed = false;    // First is known and no transformation applies
  bool Shown = false;     // a glyph was shown
  bool Shared = false;    // another text object stands in the same q ... Q
};

// The text matrix as far as positions go: Tm sets it, Td moves its line.
struct TTextMatrix {
  qreal A = 1, B = 0, C = 0, D = 1, E = 0, F = 0;
};

bool Numbers(const TOperation& operation, std::size_t count, std::vector<qreal>& numbers) {
  if (operation.Operands.size() != count) return false;
  numbers.clear();
  for (const QByteArray& operand : operation.Operands) {
    bool ok = false;
    numbers.push_back(operand.toDouble(&ok));
    if (!ok) return false;
  }
  return true;
}

class TBlockReader {
 public:
  explicit TBlockReader(const std::vector<TOperation>& operations) : operations_(operations) {}
  std::vector<TTextBlock> Read();

 private:
  void Save(std::size_t index);
  void Restore(std::size_t index);
  void Transform();
  void InText(const TOperation& operation);
  void Show();

  const std::vector<TOperation>& operations_;
  std::vector<std::size_t> saves_;
  std::vector<TTextBlock> blocks_;
  // The save depth from which on a transformation other than the page's
  // applies, or none; at depth 0 it stays for the rest of the page.
  std::optional<std::size_t> transformedFrom_;
  TTextMatrix line_;
  bool inText_ = false;
  bool textSeen_ = false;
};

std::vector<TTextBlock> TBlockReader::Read() {
  for (std::size_t index = 0; index < operations_.size(); ++index) {
    const TOperation& operation = operations_[index];
    if (operation.Operator == "q") {
      Save(index);
    } else if (operation.Operator == "Q") {
      Restore(index);
    } else if (operation.Operator == "cm") {
      Transform();
    } else if (operation.Operator == "BT") {
      // Text outside a q ... Q of its own cannot be marked on its own.
      const bool own = !saves_.empty() && (blocks_.empty() || blocks_.back().Open != saves_.back());
      if (own) {
        blocks_.emplace_back();
        blocks_.back().Open = saves_.back();
      }
      if (!own && !saves_.empty()) blocks_.back().Shared = true;
      inText_ = own;
      textSeen_ = true;
      line_ = {};
    } else if (operation.Operator == "ET") {
      inText_ = false;
    } else if (inText_) {
      InText(operation);
    }
  }
  return blocks_;
}

void TBlockReader::Save(std::size_t index) { saves_.push_back(index); }

void TBlockReader::Restore(std::size_t index) {
  if (saves_.empty()) return;
  for (TTextBlock& block : blocks_) {
    if (block.Open == saves_.back() && block.Close == 0) block.Close = index;
  }
  saves_.pop_back();
  if (transformedFrom_ && *transformedFrom_ > saves_.size()) transformedFrom_.reset();
}

// Only the page's own matrix, before anything is drawn, leaves the device
// pixels as they are.
void TBlockReader::Transform() {
  if (!textSeen_ && saves_.empty()) return;
  const std::size_t depth = saves_.size();
  transformedFrom_ = transformedFrom_ ? std::min(*transformedFrom_, depth) : depth;
}

void TBlockReader::InText(const TOperation& operation) {
  std::vector<qreal> n;
  const QByteArray& name = operation.Operator;
  if (name == "Tm" && Numbers(operation, 6, n)) {
    line_ = {n[0], n[1], n[2], n[3], n[4], n[5]};
  } else if (name == "Td" && Numbers(operation, 2, n)) {
    line_.E += line_.A * n[0] + line_.C * n[1];
    line_.F += line_.B * n[0] + line_.D * n[1];
  } else if (name == "Tj" && operation.Operands.size() == 1) {
    Show();
  } else if (name == "Tm" || name == "Td" || name == "TD" || name == "T*" || name == "TJ" ||
             name == "'" || name == "\"" || name == "Tz" || name == "Ts") {
    // Moves the glyphs in ways not followed here.
    if (!blocks_.back().Shown) blocks_.back().Placed = false;
    blocks_.back().Shown = true;
  }
}

void TBlockReader::Show() {
  TTextBlock& block = blocks_.back();
  if (block.Shown) return;
  block.Shown = true;
  block.Placed = !transformedFrom_;
  block.First = QPointF(line_.E, line_.F);
}

// ---------------------------------------------------------------------------
// Which text each text object belongs to. The writer draws in the replay's
// order, so the objects of one text follow each other, each starting on the
// text's baseline within its advance.

constexpr qreal kSlack = 0.01;  // device pixels; the writer prints positions to 1e-6 or so

// Every glyph starts before the text's end, where the next text may start.
bool Within(const TDrawnText& text, QPointF point) {
  return std::abs(point.y() - text.Origin.y()) <= kSlack && point.x() >= text.Origin.x() - kSlack &&
         point.x() < text.Origin.x() + text.Width - kSlack;
}

// The index of the text each block belongs to, or -1.
std::vector<int> TextOfBlocks(const std::vector<TTextBlock>& blocks,
                              const std::vector<TDrawnText>& texts) {
  std::vector<int> owners(blocks.size(), -1);
  std::size_t current = 0;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    if (!blocks[b].Placed || blocks[b].Shared || blocks[b].Close == 0) continue;
    for (std::size_t t = current; t < texts.size(); ++t) {
      if (!Within(texts[t], blocks[b].First)) continue;
      owners[b] = static_cast<int>(t);
      current = t;
      break;
    }
  }
  return owners;
}

bool IsMarkedContent(const QByteArray& name) {
  return name == "BDC" || name == "BMC" || name == "EMC";
}

// Operations first to last (q to Q) with their saves and restores paired,
// and their marked content too.
bool Balanced(const std::vector<TOperation>& operations, std::size_t first, std::size_t last) {
  int saves = 0;
  int marks = 0;
  for (std::size_t i = first; i <= last; ++i) {
    const QByteArray& name = operations[i].Operator;
    saves += name == "q" ? 1 : name == "Q" ? -1 : 0;
    marks += name == "EMC" ? -1 : IsMarkedContent(name) ? 1 : 0;
    if (saves < 0 || marks < 0) return false;
  }
  return saves == 0 && marks == 0;
}

struct TSpan {
  std::size_t First = 0;  // operation index of the first q
  std::size_t Last = 0;   // and of the last Q
  std::u16string Text;
};

// A span per text, from the q of its first text object to the Q of its
// last; objects between them were drawn for the same text.
std::vector<TSpan> Spans(const std::vector<TOperation>& operations,
                         const std::vector<TTextBlock>& blocks,
                         const std::vector<TDrawnText>& texts) {
  const std::vector<int> owners = TextOfBlocks(blocks, texts);
  std::vector<TSpan> spans;
  int previous = -1;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    if (owners[b] < 0) continue;
    if (owners[b] == previous) {
      spans.back().Last = blocks[b].Close;
    } else {
      spans.push_back({blocks[b].Open, blocks[b].Close, texts[owners[b]].Text});
      previous = owners[b];
    }
  }
  // Marked content must nest with the saves and restores and not overlap.
  std::vector<TSpan> sound;
  for (TSpan& span : spans) {
    if (!sound.empty() && span.First <= sound.back().Last) continue;
    if (Balanced(operations, span.First, span.Last)) sound.push_back(std::move(span));
  }
  return sound;
}

// ---------------------------------------------------------------------------
// Marking the spans.

QByteArray ActualText(const std::u16string& text) {
  QByteArray hex = "FEFF";
  for (const char16_t unit : text) {
    hex += QByteArray::number(unit, 16).rightJustified(4, '0').toUpper();
  }
  return "/Span <</ActualText <" + hex + ">>> BDC\n";
}

// The content with each span marked. Marked content the writer put inside
// goes (an empty text for the second pass of a synthesized bold face): the
// span's text stands for every glyph in it, and readers do not nest texts.
QByteArray Marked(const QByteArray& content, const std::vector<TOperation>& operations,
                  const std::vector<TSpan>& spans) {
  QByteArray out;
  qsizetype copied = 0;
  for (const TSpan& span : spans) {
    const qsizetype begin = operations[span.First].Begin;
    out += content.mid(copied, begin - copied) + ActualText(span.Text);
    copied = begin;
    for (std::size_t i = span.First; i <= span.Last; ++i) {
      if (!IsMarkedContent(operations[i].Operator)) continue;
      out += content.mid(copied, operations[i].Begin - copied);
      copied = operations[i].End;
    }
    const qsizetype end = operations[span.Last].End;
    out += content.mid(copied, end - copied) + "\nEMC";
    copied = end;
  }
  return out + content.mid(copied);
}

// The content stream of the file's only page.
std::optional<int> PageContents(const QByteArray& pdf, const TPdfFile& file) {
  static const QRegularExpression page(R"(/Type\s*/Page\b)");
  static const QRegularExpression contents(R"(/Contents\s+(\d+)\s+0\s+R)");
  std::optional<int> found;
  for (const TObjectSpan& object : file.Objects) {
    const QString text = QString::fromLatin1(pdf.mid(object.Begin, object.End - object.Begin));
    if (!page.match(text).hasMatch()) continue;
    const QRegularExpressionMatch match = contents.match(text);
    if (found || !match.hasMatch()) return std::nullopt;
    found = match.captured(1).toInt();
  }
  return found;
}

}  // namespace

QByteArray WithTextLayer(const QByteArray& pdf, const std::vector<TDrawnText>& texts) {
  TPdfFile file;
  if (texts.empty() || !ReadFile(pdf, file)) return pdf;
  const std::optional<int> contents = PageContents(pdf, file);
  TStream stream;
  std::vector<TOperation> operations;
  if (!contents || !ReadStream(pdf, file, *contents, stream) ||
      !ReadOperations(stream.Data, operations)) {
    return pdf;
  }
  const std::vector<TSpan> spans = Spans(operations, TBlockReader(operations).Read(), texts);
  if (spans.empty()) return pdf;
  stream.Data = Marked(stream.Data, operations, spans);
  const QByteArray marked = Rebuilt(pdf, file, {{*contents, StreamObject(*contents, stream)}});
  TPdfFile check;
  return ReadFile(marked, check) && check.Objects.size() == file.Objects.size() ? marked : pdf;
}
