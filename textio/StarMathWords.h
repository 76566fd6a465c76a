// The words and signs of LibreOffice Math's command language (StarMath),
// shared by its writer and its reader so that both agree on what a word is,
// which words are reserved and which character each sign word stands for.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// How a sign takes its operands, which decides where the writer may put it
// bare: LibreOffice marks a binary sign without both operands as an error.
enum class TStarSign {
  Operand,  // a symbol that stands alone: ∞, ∂ ...
  Sign,     // + − ± ∓: binary, or unary before its operand
  Prefix,   // ¬: unary only
  Binary,   // relations and product signs: both operands needed
};

struct TStarSymbol {
  char16_t Char;
  std::u16string_view Written;  // a word, or signs such as "<="
  TStarSign Kind;
};

// The symbol written for a term character, or nullptr when it has none.
const TStarSymbol* StarMathSymbolOf(char16_t c);
// The symbol a sign word (lower case) stands for, aliases included;
// nullptr for any other word.
const TStarSymbol* StarMathSymbolOfWord(std::u16string_view lowerWord);
// The Greek letter of "%alpha", "%ALPHA", "%ialpha" (the name without "%").
std::optional<char16_t> StarMathGreek(std::u16string_view name);

// Letters and digits run together into one name or number; a reserved word
// next to one needs a blank between.
bool IsStarMathWordChar(char16_t c);
bool IsStarMathLetter(char16_t c);
// Any word that LibreOffice reads as a command, in any case. Term text that
// spells one is written in quotes.
bool IsStarMathReserved(std::u16string_view word);
// sin, cos, ln ...: the names LibreOffice sets as functions by themselves.
bool IsStarMathFunctionWord(std::u16string_view lowerWord);
// ASCII lower case of a word, for the table look-ups.
std::u16string StarMathLower(std::u16string_view word);
