// The tokens of LaTeX as the formula reader sees them. A command's name is
// its letters; the reader decides what the blanks after it mean.
// "\bigl(" and its kin come out as the bare delimiter, since their size
// means nothing here.
#pragma once

#include <cstddef>
#include <string_view>

struct TLatexToken {
  enum TKind {
    End,
    Blank,   // Text: the blanks
    Char,    // Text: one character (two code units for a surrogate pair)
    Word,    // Text: the command's name, without backslash
    Symbol,  // Text: the character after the backslash
    LBrace,
    RBrace,
    Sup,
    Sub,
    Tilde,
    Special,  // & # $
    Nothing,  // "\bigl." and the like
    Bad,      // Problem says why
  } Kind = End;
  std::u16string_view Text;
  std::size_t Pos = 0;   // where the token starts
  std::size_t Next = 0;  // where the one after it starts
  const char* Problem = nullptr;
};

class TLatexLexer {
 public:
  TLatexLexer(std::u16string_view text, std::size_t begin, std::size_t end)
      : text_(text), end_(end), pos_(begin) {}

  TLatexToken Peek() const { return Lex(pos_); }
  // The token at `pos`, without moving: for looking past the next token.
  TLatexToken PeekAt(std::size_t pos) const { return Lex(pos); }
  TLatexToken Take() {
    TLatexToken token = Lex(pos_);
    pos_ = token.Next;
    return token;
  }
  // Skips blanks; returns the token after them without taking it.
  TLatexToken PeekPastBlanks() {
    TLatexToken token = Lex(pos_);
    while (token.Kind == TLatexToken::Blank || token.Kind == TLatexToken::Nothing) {
      pos_ = token.Next;
      token = Lex(pos_);
    }
    return token;
  }
  std::size_t Position() const { return pos_; }
  void Seek(std::size_t pos) { pos_ = pos; }
  std::u16string_view Source() const { return text_; }
  std::size_t End() const { return end_; }

 private:
  TLatexToken Lex(std::size_t pos) const;
  std::size_t SkipComment(std::size_t pos) const;
  // `sizes`: "\big(" and its kin give their delimiter; off for the token
  // after a size command, so that "\big\big\big" costs no recursion.
  TLatexToken LexCommand(std::size_t pos, bool sizes = true) const;
  TLatexToken LexSizedDelimiter(std::size_t pos, std::size_t after) const;

  std::u16string_view text_;
  std::size_t end_;
  std::size_t pos_;
};

bool IsLatexBlank(char16_t c);
// The letters of a command's name; any other character ends it.
bool IsLatexLetter(char16_t c);
// The character of a delimiter command (vert, langle ...); empty for others.
std::u16string_view LatexDelimiterWord(std::u16string_view name);
