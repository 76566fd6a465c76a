#include "export/PdfText.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string_view>

#include "export/PdfFile.h"
#include "export/PdfGlyphMap.h"

namespace {

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
  QByteArray Font;        // its resource name
  std::vector<std::uint16_t> Codes;
  bool Plain = true;  // every glyph shown on its own, "<code> Tj"
};

// The text matrix as far as positions go: Tm sets it, Td moves its line.
struct TTextMatrix {
  qreal A = 1, B = 0, C = 0, D = 1, E = 0, F = 0;
};

bool Numbers(const TPdfOperation& operation, std::size_t count, std::vector<qreal>& numbers) {
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
  explicit TBlockReader(const std::vector<TPdfOperation>& operations) : operations_(operations) {}
  std::vector<TTextBlock> Read();

 private:
  void Save(std::size_t index);
  void Restore(std::size_t index);
  void Transform();
  void InText(const TPdfOperation& operation);
  void Show();
  void AddCodes(const QByteArray& operand);

  // A q not yet restored, and the text object standing in it, if any.
  struct TSave {
    std::size_t Operation = 0;
    std::optional<std::size_t> Block;
  };

  const std::vector<TPdfOperation>& operations_;
  std::vector<TSave> saves_;
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
    const TPdfOperation& operation = operations_[index];
    if (operation.Operator == "q") {
      Save(index);
    } else if (operation.Operator == "Q") {
      Restore(index);
    } else if (operation.Operator == "cm") {
      Transform();
    } else if (operation.Operator == "BT") {
      // Text outside a q ... Q of its own cannot be marked on its own.
      const bool own = !saves_.empty() && !saves_.back().Block;
      if (own) {
        saves_.back().Block = blocks_.size();
        blocks_.emplace_back();
        blocks_.back().Open = saves_.back().Operation;
      }
      if (!saves_.empty() && !own) blocks_[*saves_.back().Block].Shared = true;
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

void TBlockReader::Save(std::size_t index) { saves_.push_back({index, std::nullopt}); }

void TBlockReader::Restore(std::size_t index) {
  if (saves_.empty()) return;
  if (saves_.back().Block) blocks_[*saves_.back().Block].Close = index;
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

void TBlockReader::InText(const TPdfOperation& operation) {
  std::vector<qreal> n;
  const QByteArray& name = operation.Operator;
  if (name == "Tm" && Numbers(operation, 6, n)) {
    line_ = {n[0], n[1], n[2], n[3], n[4], n[5]};
  } else if (name == "Td" && Numbers(operation, 2, n)) {
    line_.E += line_.A * n[0] + line_.C * n[1];
    line_.F += line_.B * n[0] + line_.D * n[1];
  } else if (name == "Tf" && operation.Operands.size() == 2) {
    blocks_.back().Font = operation.Operands[0];
  } else if (name == "Tj" && operation.Operands.size() == 1) {
    Show();
    AddCodes(operation.Operands[0]);
  } else if (name == "Tm" || name == "Td" || name == "TD" || name == "T*" || name == "TJ" ||
             name == "'" || name == "\"" || name == "Tz" || name == "Ts") {
    // Moves the glyphs in ways not followed here.
    if (!blocks_.back().Shown) blocks_.back().Placed = false;
    blocks_.back().Shown = true;
    blocks_.back().Plain = false;
  }
}

void TBlockReader::AddCodes(const QByteArray& operand) {
  TTextBlock& block = blocks_.back();
  const bool hex = operand.startsWith('<') && operand.endsWith('>') && operand.size() % 4 == 2;
  block.Plain = block.Plain && hex;
  for (qsizetype at = 1; block.Plain && at + 4 < operand.size(); at += 4) {
    bool ok = false;
    block.Codes.push_back(operand.mid(at, 4).toUShort(&ok, 16));
    block.Plain = ok;
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
bool Balanced(const std::vector<TPdfOperation>& operations, std::size_t first, std::size_t last) {
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

bool RightToLeft(char32_t c) {
  switch (QChar::direction(c)) {
    case QChar::DirR:
    case QChar::DirAL:
    case QChar::DirRLE:
    case QChar::DirRLO:
    case QChar::DirRLI:
      return true;
    default:
      return false;
  }
}

// Readers such as poppler lay a marked text's characters out from left to
// right over its glyphs and then put right-to-left runs back into reading
// order, which turns a marked text's right-to-left words around. Such texts
// are left to the glyph map, whose glyphs stand in drawing order.
bool HasRightToLeft(std::u16string_view text) {
  const QList<uint> characters = QStringView(text.data(), qsizetype(text.size())).toUcs4();
  return std::any_of(characters.begin(), characters.end(), RightToLeft);
}

struct TSpan {
  std::size_t First = 0;  // operation index of the first q
  std::size_t Last = 0;   // and of the last Q
  std::u16string Text;
  std::vector<std::size_t> Blocks;  // the text objects drawn for Text
  bool Gapless = true;              // no other text object among them
};

// A span per text, from the q of its first text object to the Q of its
// last; objects between them were drawn for the same text.
std::vector<TSpan> Spans(const std::vector<TPdfOperation>& operations,
                         const std::vector<TTextBlock>& blocks,
                         const std::vector<TDrawnText>& texts) {
  const std::vector<int> owners = TextOfBlocks(blocks, texts);
  std::vector<TSpan> spans;
  int previous = -1;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    if (owners[b] < 0) continue;
    if (owners[b] == previous) {
      spans.back().Last = blocks[b].Close;
      spans.back().Gapless = spans.back().Gapless && spans.back().Blocks.back() + 1 == b;
      spans.back().Blocks.push_back(b);
    } else {
      spans.push_back({blocks[b].Open, blocks[b].Close, texts[owners[b]].Text, {b}});
      previous = owners[b];
    }
  }
  // Marked content must nest with the saves and restores and not overlap.
  std::vector<TSpan> sound;
  for (TSpan& span : spans) {
    if (!sound.empty() && span.First <= sound.back().Last) continue;
    if (HasRightToLeft(span.Text)) continue;
    if (Balanced(operations, span.First, span.Last)) sound.push_back(std::move(span));
  }
  return sound;
}

// ---------------------------------------------------------------------------
// Marking the spans.

QByteArray ActualText(const std::u16string& text) {
  return "/Span <</ActualText " + PdfHexTextString(text) + ">> BDC\n";
}

// The content with each span marked. Marked content the writer put inside
// goes (an empty text for the second pass of a synthesized bold face): the
// span's text stands for every glyph in it, and readers do not nest texts.
QByteArray Marked(const QByteArray& content, const std::vector<TPdfOperation>& operations,
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

// ---------------------------------------------------------------------------
// The fonts' glyph maps, for readers that do not follow the marked texts.
// The writer maps each glyph to the first character up to U+FFFF the font
// gives it: a glyph of a character beyond gets no text, a glyph two
// characters share gets the lower one. Where a word is drawn a glyph per
// character, in order, the drawing says what each glyph stands for.

// Per font resource, the text each code was drawn for; none where it was
// drawn for two.
using TDrawnGlyphs = std::map<QByteArray, std::map<std::uint16_t, std::optional<std::u16string>>>;

// Scripts whose characters are shaped in their order, one glyph each unless
// joined; others may be reordered (right to left, Indic vowel signs).
bool KeepsOrder(char32_t c) {
  if (RightToLeft(c)) return false;
  const QChar::Script script = QChar::script(c);
  return script == QChar::Script_Common || script == QChar::Script_Inherited ||
         script == QChar::Script_Latin || script == QChar::Script_Greek ||
         script == QChar::Script_Cyrillic || script == QChar::Script_Han;
}

// The word's characters, each as its UTF-16 units; none when the shaper may
// reorder them.
std::vector<std::u16string> InOrder(std::u16string_view word) {
  std::vector<std::u16string> characters;
  for (std::size_t at = 0; at < word.size();) {
    const bool pair = at + 1 < word.size() && QChar::isHighSurrogate(word[at]) &&
                      QChar::isLowSurrogate(word[at + 1]);
    const char32_t c = pair ? QChar::surrogateToUcs4(word[at], word[at + 1]) : word[at];
    if (!KeepsOrder(c)) return {};
    characters.emplace_back(word.substr(at, pair ? 2 : 1));
    at += pair ? 2 : 1;
  }
  return characters;
}

// The words as the replay draws them, one text object (or more) each.
std::vector<std::u16string_view> Words(std::u16string_view text) {
  std::vector<std::u16string_view> words;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find(u' ', start), text.size());
    if (end > start) words.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

// Glyphs drawn for characters one by one, in order: each stands for its
// character, unless it was drawn for another one too.
void LearnGroup(const std::vector<std::u16string_view>& words,
                const std::vector<const TTextBlock*>& group, TDrawnGlyphs& drawn) {
  std::vector<std::u16string> characters;
  for (const std::u16string_view word : words) {
    const std::vector<std::u16string> inOrder = InOrder(word);
    if (inOrder.empty()) return;
    characters.insert(characters.end(), inOrder.begin(), inOrder.end());
  }
  std::size_t next = 0;
  for (const TTextBlock* block : group) {
    if (!block->Plain || next + block->Codes.size() > characters.size()) return;
    next += block->Codes.size();
  }
  if (next != characters.size()) return;  // joined glyphs
  next = 0;
  for (const TTextBlock* block : group) {
    for (const std::uint16_t code : block->Codes) {
      auto [known, fresh] = drawn[block->Font].try_emplace(code, characters[next]);
      if (!fresh && known->second != characters[next]) known->second.reset();
      ++next;
    }
  }
}

// Word by word where each word is one text object; where some word needed
// more than one font, the whole text at once.
void Learn(const TSpan& span, const std::vector<TTextBlock>& blocks, TDrawnGlyphs& drawn) {
  const std::vector<std::u16string_view> words = Words(span.Text);
  if (!span.Gapless) return;
  std::vector<const TTextBlock*> group;
  for (const std::size_t b : span.Blocks) group.push_back(&blocks[b]);
  if (words.size() != group.size()) {
    LearnGroup(words, group, drawn);
    return;
  }
  for (std::size_t w = 0; w < words.size(); ++w) LearnGroup({words[w]}, {group[w]}, drawn);
}

// The font objects of the page, by resource name.
std::map<QByteArray, int> PageFonts(const QByteArray& pdf, const TPdfFile& file, int page) {
  static const QRegularExpression resources(R"(/Resources\s+(\d+)\s+0\s+R)");
  static const QRegularExpression fonts(R"(/Font\s*<<([^>]*)>>)");
  static const QRegularExpression font(R"((/[^\s/<>\[\]()]+)\s+(\d+)\s+0\s+R)");
  QString text = QString::fromLatin1(PdfObjectText(pdf, file, page));
  const QRegularExpressionMatch indirect = resources.match(text);
  if (indirect.hasMatch()) {
    text = QString::fromLatin1(PdfObjectText(pdf, file, indirect.captured(1).toInt()));
  }
  std::map<QByteArray, int> found;
  const QString dictionary = fonts.match(text).captured(1);
  for (auto match = font.globalMatch(dictionary); match.hasNext();) {
    const auto entry = match.next();
    found[entry.captured(1).toLatin1()] = entry.captured(2).toInt();
  }
  return found;
}

// Whether the drawing changed the map.
bool Merge(const std::map<std::uint16_t, std::optional<std::u16string>>& drawn, TPdfGlyphMap& map) {
  bool changed = false;
  for (const auto& [code, text] : drawn) {
    if (!text) continue;
    const auto known = map.find(code);
    if (known != map.end() && known->second == *text) continue;
    map[code] = *text;
    changed = true;
  }
  return changed;
}

// New glyph-map objects for the fonts whose map the drawing completes.
std::map<int, QByteArray> CompletedGlyphMaps(const QByteArray& pdf, const TPdfFile& file, int page,
                                             const TDrawnGlyphs& drawn) {
  static const QRegularExpression toUnicode(R"(/ToUnicode\s+(\d+)\s+0\s+R)");
  const std::map<QByteArray, int> fonts = PageFonts(pdf, file, page);
  std::map<int, QByteArray> replaced;
  for (const auto& [name, codes] : drawn) {
    const auto font = fonts.find(name);
    if (font == fonts.end()) continue;
    const QRegularExpressionMatch reference =
        toUnicode.match(QString::fromLatin1(PdfObjectText(pdf, file, font->second)));
    const int number = reference.captured(1).toInt();
    TPdfStream stream;
    TPdfGlyphMap map;
    if (!reference.hasMatch() || replaced.contains(number) ||
        !ReadPdfStream(pdf, file, number, stream) || !ReadPdfGlyphMap(stream.Data, map) ||
        !Merge(codes, map)) {
      continue;
    }
    stream.Data = PdfGlyphMapText(map);
    replaced[number] = PdfStreamObject(number, stream);
  }
  return replaced;
}

}  // namespace

QByteArray WithTextLayer(const QByteArray& pdf, const std::vector<TDrawnText>& texts) {
  TPdfFile file;
  if (texts.empty() || !ReadPdfFile(pdf, file)) return pdf;
  const std::optional<TPdfPage> page = OnlyPdfPage(pdf, file);
  TPdfStream stream;
  std::vector<TPdfOperation> operations;
  if (!page || !ReadPdfStream(pdf, file, page->Contents, stream) ||
      !ReadPdfOperations(stream.Data, operations)) {
    return pdf;
  }
  const std::vector<TTextBlock> blocks = TBlockReader(operations).Read();
  const std::vector<TSpan> spans = Spans(operations, blocks, texts);
  if (spans.empty()) return pdf;
  TDrawnGlyphs drawn;
  for (const TSpan& span : spans) Learn(span, blocks, drawn);
  std::map<int, QByteArray> replaced = CompletedGlyphMaps(pdf, file, page->Number, drawn);
  stream.Data = Marked(stream.Data, operations, spans);
  replaced[page->Contents] = PdfStreamObject(page->Contents, stream);
  const QByteArray marked = RebuiltPdf(pdf, file, replaced);
  TPdfFile check;
  return ReadPdfFile(marked, check) && check.Objects.size() == file.Objects.size() ? marked : pdf;
}
