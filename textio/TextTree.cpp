#include "textio/TextTree.h"

#include <algorithm>
#include <utility>

#include "model/BlockBudget.h"
#include "model/Utf.h"
#include "textio/FormulaText.h"
#include "textio/TextError.h"

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

bool HasNonBlank(std::u16string_view text) {
  return std::any_of(text.begin(), text.end(), [](char16_t c) { return !IsBlank(c); });
}

// Start of the last code point; 0 for an empty text, such as the empty atom
// that "\right." or an empty <mtext/> adds.
std::size_t LastCodePoint(std::u16string_view text) {
  if (text.empty()) return 0;
  std::size_t start = text.size() - 1;
  if (start > 0 && IsLowSurrogate(text[start])) --start;
  return start;
}

TRowItem TextPiece(std::u16string_view chars) {
  TRowItem item;
  item.Chars = chars;
  item.HasContent = HasNonBlank(chars);
  return item;
}

}  // namespace

TRowItem& TRow::TextItem() {
  if (items_.empty() || items_.back().Type != TRowItem::Text) {
    items_.emplace_back();
    atomStart_ = std::u16string::npos;
    trailingRaw_ = 0;
  }
  return items_.back();
}

void TRow::AddContent(std::u16string_view chars) {
  TRowItem& text = TextItem();
  text.Chars += chars;
  text.HasContent = true;
  trailingRaw_ = 0;
}

void TRow::AddRawBlanks(std::u16string_view blanks) {
  TextItem().Chars += blanks;
  trailingRaw_ += blanks.size();
}

void TRow::AddAtom(std::u16string_view chars) {
  ForgetCloseParen();
  const std::size_t start = TextItem().Chars.size();
  AddContent(chars);
  atomStart_ = start;
}

void TRow::AddAtoms(std::u16string_view chars) {
  if (chars.empty()) return;
  AddAtom(chars);
  atomStart_ = items_.back().Chars.size() - 1;
}

void TRow::AddSpacing(std::u16string_view blanks) {
  ForgetCloseParen();
  AddContent(blanks);
  atomStart_ = std::u16string::npos;
}

TRow::TMark TRow::MarkAt(std::size_t offset) const {
  return {static_cast<std::uint32_t>(items_.size() - 1), static_cast<std::uint32_t>(offset)};
}

void TRow::AddOpenParen(std::u16string_view paren) {
  ForgetCloseParen();
  const std::size_t start = TextItem().Chars.size();
  openParens_.push_back(MarkAt(start));
  AddContent(paren);
  atomStart_ = start;
}

void TRow::AddCloseParen(std::u16string_view paren) {
  const std::size_t start = TextItem().Chars.size();
  AddContent(paren);
  atomStart_ = start;
  lastClose_.reset();
  if (!openParens_.empty()) {
    lastClose_ = openParens_.back();
    openParens_.pop_back();
  }
}

void TRow::EndConstruct() {
  ForgetCloseParen();
  atomStart_ = std::u16string::npos;
  trailingRaw_ = 0;
}

void TRow::AddEntry(TTextNode node) {
  items_.emplace_back();
  items_.back().Type = TRowItem::Entry;
  items_.back().Node = std::move(node);
  EndConstruct();
}

void TRow::AddGroup(TRow row) {
  items_.emplace_back();
  items_.back().Type = TRowItem::Group;
  items_.back().Inside = std::make_unique<TRow>(std::move(row));
  EndConstruct();
}

// The brackets inside the spliced row were matched there; they do not pair
// with brackets of this row.
void TRow::Splice(TRow row) {
  for (TRowItem& item : row.items_) {
    if (item.Type == TRowItem::Text) {
      TRowItem& text = TextItem();
      text.Chars += item.Chars;
      text.HasContent = text.HasContent || item.HasContent;
    } else {
      items_.push_back(std::move(item));
    }
  }
  EndConstruct();
}

std::optional<std::u16string> TRow::PlainText() const {
  std::u16string text;
  for (const TRowItem& item : items_) {
    if (item.Type != TRowItem::Text) return std::nullopt;
    text += item.Chars;
  }
  return text;
}

bool TRow::IsSingleFraction() const {
  const TRowItem* single = nullptr;
  for (const TRowItem& item : items_) {
    if (item.Type == TRowItem::Text && !item.HasContent) continue;
    if (single != nullptr) return false;
    single = &item;
  }
  return single != nullptr && single->Type == TRowItem::Entry && single->Node.IsFunction &&
         single->Node.Kind == fkBruch && single->Node.Second != nullptr;
}

TTextNode TRow::TakeSingleFraction() {
  for (TRowItem& item : items_) {
    if (item.Type == TRowItem::Entry) return std::move(item.Node);
  }
  return {};
}

bool TRow::StripParentheses() {
  if (!lastClose_ || lastClose_->Item != 0 || lastClose_->Offset != 0 || trailingRaw_ != 0 ||
      items_.back().Type != TRowItem::Text) {
    return false;
  }
  TRowItem& last = items_.back();
  last.Chars.pop_back();
  TRowItem& first = items_.front();
  first.Chars.erase(0, 1);
  first.HasContent = HasNonBlank(first.Chars);
  last.HasContent = HasNonBlank(last.Chars);
  EndConstruct();
  return true;
}

void TRow::TrimTrailingBlanks() {
  if (trailingRaw_ == 0 || items_.empty() || items_.back().Type != TRowItem::Text) return;
  TRowItem& text = items_.back();
  text.Chars.resize(text.Chars.size() - std::min(trailingRaw_, text.Chars.size()));
  trailingRaw_ = 0;
  if (text.Chars.empty()) items_.pop_back();
}

// Text from `cut` on leaves the row: a "(" in it, raised as an atom or moved
// into a base, no longer opens a block that a later ")" could close.
// The marks are in the order of the text, so those at or after `cut` are the
// last ones: taking them from the back keeps a power after many open "(" cheap.
void TRow::ForgetParensFrom(TMark cut) {
  while (!openParens_.empty()) {
    const TMark& mark = openParens_.back();
    if (mark.Item < cut.Item || (mark.Item == cut.Item && mark.Offset < cut.Offset)) return;
    openParens_.pop_back();
  }
}

// Everything after the "(" at `from` up to the closing ")" that ends the row
// goes to `base`; the row keeps what stands before the "(".
void TRow::MoveTailTo(TMark from, TRow& base) {
  ForgetParensFrom(from);
  std::u16string& lastChars = items_.back().Chars;
  lastChars.pop_back();  // the ")"
  for (std::size_t i = from.Item; i < items_.size(); ++i) {
    TRowItem& item = items_[i];
    if (item.Type != TRowItem::Text) {
      base.items_.push_back(std::move(item));
    } else {
      const std::size_t skip = i == from.Item ? from.Offset + 1 : 0;
      TRowItem piece = TextPiece(std::u16string_view(item.Chars).substr(skip));
      if (!piece.Chars.empty()) base.items_.push_back(std::move(piece));
    }
  }
  items_[from.Item].Chars.resize(from.Offset);
  items_.resize(from.Item + 1);
  if (items_.back().Chars.empty()) {
    items_.pop_back();
  } else {
    items_.back().HasContent = HasNonBlank(items_.back().Chars);
  }
}

TRow TRow::TakeBase() {
  TRow base;
  TrimTrailingBlanks();
  if (items_.empty()) return base;
  TRowItem& last = items_.back();
  if (last.Type == TRowItem::Entry) {
    base.AddEntry(std::move(last.Node));
    items_.pop_back();
  } else if (last.Type == TRowItem::Group) {
    base = std::move(*last.Inside);
    items_.pop_back();
  } else if (lastClose_) {
    MoveTailTo(*lastClose_, base);
  } else {
    std::size_t start = atomStart_ < last.Chars.size() ? atomStart_ : LastCodePoint(last.Chars);
    ForgetParensFrom(MarkAt(start));
    base.AddAtom(std::u16string_view(last.Chars).substr(start));
    last.Chars.resize(start);
    last.HasContent = HasNonBlank(last.Chars);
    if (last.Chars.empty()) items_.pop_back();
  }
  EndConstruct();
  return base;
}

bool TRow::AppendToLastAtom(std::u16string_view chars) {
  TrimTrailingBlanks();
  if (items_.empty() || items_.back().Type != TRowItem::Text) return false;
  TRowItem& text = items_.back();
  // Only the last character counts: a scan of the whole text would make a
  // row of blanks followed by many indices quadratic.
  if (text.Chars.empty() || IsBlank(text.Chars.back())) return false;
  if (atomStart_ >= text.Chars.size()) atomStart_ = LastCodePoint(text.Chars);
  text.Chars += chars;
  ForgetCloseParen();
  return true;
}

bool TRow::HoldsContent() const {
  return items_.size() > 1 ||
         (items_.size() == 1 && (items_[0].Type != TRowItem::Text || items_[0].HasContent));
}

void TRow::DropEmptyGroup() {
  if (items_.empty() || items_.back().Type != TRowItem::Group || !items_.back().Inside->Empty()) {
    return;
  }
  items_.pop_back();
  EndConstruct();
}

TTextSeq TRow::Finish() && {
  TTextSeq seq;
  std::move(*this).FinishInto(seq);
  return seq;
}

// Groups open up straight into `seq`: moving their entries up level by level
// would cost the depth times the entries.
void TRow::FinishInto(TTextSeq& seq) && {
  auto add = [&seq](TTextNode node) {
    seq.Levels = std::max(seq.Levels, node.Levels);
    seq.Entries.push_back(std::move(node));
  };
  for (TRowItem& item : items_) {
    if (item.Type == TRowItem::Text) {
      if (!item.HasContent) continue;
      TTextNode term;
      term.Text1 = std::move(item.Chars);
      add(std::move(term));
    } else if (item.Type == TRowItem::Entry) {
      add(std::move(item.Node));
    } else {
      const std::size_t before = seq.Entries.size();
      std::move(*item.Inside).FinishInto(seq);
      if (seq.Entries.size() == before) add(TTextNode{});  // "{}": an empty term
    }
  }
}

int LevelsOf(const TTextNode& node) {
  int below = node.First != nullptr ? node.First->Levels : 0;
  if (node.Second != nullptr) below = std::max(below, node.Second->Levels);
  return below + 1;
}

TTextNode MakeFunction(std::uint32_t kind, TTextSeq first, std::optional<TTextSeq> second) {
  TTextNode node;
  node.IsFunction = true;
  node.Kind = kind;
  node.First = std::make_unique<TTextSeq>(std::move(first));
  if (second) node.Second = std::make_unique<TTextSeq>(std::move(*second));
  node.Levels = LevelsOf(node);
  return node;
}

TTextNode MakeFunction(std::uint32_t kind, TRow first, TRow second) {
  return MakeFunction(kind, std::move(first).Finish(), std::move(second).Finish());
}

TTextNode MakeBodyFunction(std::uint32_t kind, TRow body) {
  if (!body.IsSingleFraction()) return MakeFunction(kind, std::move(body).Finish(), std::nullopt);
  TTextNode fraction = body.TakeSingleFraction();
  fraction.Kind = kind;
  fraction.Levels = LevelsOf(fraction);
  return fraction;
}

namespace {

// Every sequence the line will hold, before one is allocated.
bool FitsBudget(const TTextSeq& seq, TBlockBudget& budget) {
  if (!budget.TakeSequence(seq.Entries.size())) return false;
  for (const TTextNode& node : seq.Entries) {
    if (node.First != nullptr && !FitsBudget(*node.First, budget)) return false;
    if (node.Second != nullptr && !FitsBudget(*node.Second, budget)) return false;
  }
  return true;
}

bool FillLine(TFormulaLine* line, const TTextSeq& seq) {
  // The count is known: one block at once instead of a copy every 100 entries.
  if (line == nullptr || !line->Reserve(static_cast<std::uint32_t>(seq.Entries.size()))) {
    return false;
  }
  for (const TTextNode& node : seq.Entries) {
    if (!node.IsFunction) {
      if (AppendTermEntry(line, node.Text1) == nullptr) return false;
      continue;
    }
    TFormulaEntry* entry = AppendFunctionEntry(line, node.Kind);
    if (entry == nullptr) return false;
    SetText(entry->Text1, node.Text1);
    SetText(entry->Text2, node.Text2);
    // The entry stays where it is while its own sequences fill.
    RemoveSecond(entry->Second);
    if (node.Second != nullptr) {
      entry->Second = CreateLine(line->CursorVar());
      if (!FillLine(entry->Second, *node.Second)) return false;
    }
    if (node.First != nullptr && !FillLine(entry->First, *node.First)) return false;
  }
  return true;
}

}  // namespace

// Owned while it fills: a text that runs out of memory leaves nothing behind.
TBuiltLine BuildCountedLine(const TTextSeq& seq, TEntryCursor* cursor) {
  TBuiltLine built;
  TBlockBudget budget;
  if (!FitsBudget(seq, budget)) {
    built.Problem = kFormulaTooLarge;
    return built;
  }
  built.Line.reset(CreateLine(cursor));
  if (built.Line == nullptr || !FillLine(built.Line.get(), seq)) {
    built.Line.reset();
    built.Problem = kTextNoMemory;
  }
  return built;
}

TFormulaLine* BuildLine(const TTextSeq& seq, TEntryCursor* cursor) {
  return BuildCountedLine(seq, cursor).Line.release();
}

namespace {

struct TScriptForm {
  char16_t Plain;
  char16_t Script;
};

constexpr TScriptForm kSubscripts[] = {
    {u'0', u'\u2080'},      {u'1', u'\u2081'},      {u'2', u'\u2082'},      {u'3', u'\u2083'},
    {u'4', u'\u2084'},      {u'5', u'\u2085'},      {u'6', u'\u2086'},      {u'7', u'\u2087'},
    {u'8', u'\u2088'},      {u'9', u'\u2089'},      {u'+', u'\u208A'},      {u'-', u'\u208B'},
    {u'\u2212', u'\u208B'}, {u'=', u'\u208C'},      {u'(', u'\u208D'},      {u')', u'\u208E'},
    {u'a', u'\u2090'},      {u'e', u'\u2091'},      {u'o', u'\u2092'},      {u'x', u'\u2093'},
    {u'\u0259', u'\u2094'}, {u'h', u'\u2095'},      {u'k', u'\u2096'},      {u'l', u'\u2097'},
    {u'm', u'\u2098'},      {u'n', u'\u2099'},      {u'p', u'\u209A'},      {u's', u'\u209B'},
    {u't', u'\u209C'},      {u'i', u'\u1D62'},      {u'r', u'\u1D63'},      {u'u', u'\u1D64'},
    {u'v', u'\u1D65'},      {u'j', u'\u2C7C'},      {u'\u03B2', u'\u1D66'}, {u'\u03B3', u'\u1D67'},
    {u'\u03C1', u'\u1D68'}, {u'\u03C6', u'\u1D69'}, {u'\u03C7', u'\u1D6A'},
};

constexpr TScriptForm kSuperscripts[] = {
    {u'0', u'\u2070'},      {u'1', u'\u00B9'}, {u'2', u'\u00B2'}, {u'3', u'\u00B3'},
    {u'4', u'\u2074'},      {u'5', u'\u2075'}, {u'6', u'\u2076'}, {u'7', u'\u2077'},
    {u'8', u'\u2078'},      {u'9', u'\u2079'}, {u'+', u'\u207A'}, {u'-', u'\u207B'},
    {u'\u2212', u'\u207B'}, {u'=', u'\u207C'}, {u'(', u'\u207D'}, {u')', u'\u207E'},
    {u'n', u'\u207F'},      {u'i', u'\u2071'}, {u'a', u'\u1D43'}, {u'b', u'\u1D47'},
    {u'c', u'\u1D9C'},      {u'd', u'\u1D48'}, {u'e', u'\u1D49'}, {u'f', u'\u1DA0'},
    {u'g', u'\u1D4D'},      {u'h', u'\u02B0'}, {u'j', u'\u02B2'}, {u'k', u'\u1D4F'},
    {u'l', u'\u02E1'},      {u'm', u'\u1D50'}, {u'o', u'\u1D52'}, {u'p', u'\u1D56'},
    {u'r', u'\u02B3'},      {u's', u'\u02E2'}, {u't', u'\u1D57'}, {u'u', u'\u1D58'},
    {u'v', u'\u1D5B'},      {u'w', u'\u02B7'}, {u'x', u'\u02E3'}, {u'y', u'\u02B8'},
    {u'z', u'\u1DBB'},
};

template <std::size_t N>
std::u16string Scripted(std::u16string_view text, const TScriptForm (&forms)[N]) {
  std::u16string scripted;
  for (char16_t c : text) {
    const auto* form = std::find_if(std::begin(forms), std::end(forms),
                                    [c](const TScriptForm& f) { return f.Plain == c; });
    if (form == std::end(forms)) return {};
    scripted += form->Script;
  }
  return scripted;
}

}  // namespace

std::u16string Subscripted(std::u16string_view text) { return Scripted(text, kSubscripts); }
std::u16string Superscripted(std::u16string_view text) { return Scripted(text, kSuperscripts); }

char16_t Unscripted(char16_t c, bool superscript) {
  // ² is the first script character: most characters of a text need no search.
  if (c < u'\u00B2') return 0;
  const auto find = [c](const auto& forms) -> char16_t {
    const auto* form = std::find_if(std::begin(forms), std::end(forms),
                                    [c](const TScriptForm& f) { return f.Script == c; });
    return form == std::end(forms) ? 0 : form->Plain;
  };
  return superscript ? find(kSuperscripts) : find(kSubscripts);
}

std::size_t ScriptRun(std::u16string_view text, bool superscript) {
  std::size_t run = 0;
  while (run < text.size() && Unscripted(text[run], superscript) != 0) ++run;
  return run;
}

std::size_t ScriptsAtEnd(std::u16string_view name) {
  std::size_t base = name.size();
  while (base > 0 &&
         (Unscripted(name[base - 1], true) != 0 || Unscripted(name[base - 1], false) != 0)) {
    --base;
  }
  return base;
}

std::u16string UnscriptedText(std::u16string_view scripts, bool superscript) {
  std::u16string plain;
  for (char16_t c : scripts) plain += Unscripted(c, superscript);
  return plain;
}

std::string ScriptProblem(std::u16string_view typed, bool superscript) {
  return std::string(superscript ? "Hochstellung" : "Tiefstellung") + " von " + Quoted(typed) +
         ": nur Ziffern, + − = ( ) und einige Buchstaben haben " +
         (superscript ? "hochgestellte" : "tiefgestellte") + " Zeichen.";
}

std::string AddScript(TRow& row, std::u16string_view text, bool superscript,
                      std::optional<std::u16string_view> typed) {
  if (text.empty()) return {};
  const std::u16string scripted = superscript ? Superscripted(text) : Subscripted(text);
  if (scripted.empty()) return ScriptProblem(typed.value_or(text), superscript);
  if (row.AppendToLastAtom(scripted)) return {};
  if (!superscript) return "Ein Index steht nur direkt nach einem Zeichen.";
  row.AddAtom(scripted);
  return {};
}
