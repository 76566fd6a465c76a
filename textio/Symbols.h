// The tables behind both text forms: symbol commands and the characters
// they stand for, the standard operator names and the named characters that
// MathML producers write.
#pragma once

#include <optional>
#include <string_view>

// The command (without backslash) that writes `c`: Greek letters and the
// signs of U+2100..U+22FF that have one. Empty for every other character.
std::string_view LatexNameOf(char16_t c);
// What a symbol command stands for in term text, aliases included.
std::optional<std::u16string_view> SymbolOfLatexName(std::string_view name);
// sin, cos, log ... : names that \operatorname need not spell out.
bool IsStandardOperatorName(std::u16string_view name);
// A function's name as both writers take it: without the blanks around it.
std::u16string_view WithoutOuterBlanks(std::u16string_view name);
// HTML and MathML character entity names (times, InvisibleTimes, alpha ...).
std::optional<std::u16string_view> CharacterOfEntity(std::string_view name);
// Letters and the signs used like letters (∂, ∞, ∇ ...). A blank between
// such a command and a letter only ends the command's name; after any other
// command a blank is a blank, and "{}" ends the name.
bool IsLetterLike(std::u16string_view chars);

// Where an operand written without brackets ends, the same in both readers.
// `atom` is one character (or surrogate pair) of term text, blanks trimmed.
// = ≠ < > ≤ ≥ ≈ ≡ ∼ ≅ ∝ → ⇒ ⇔ ∈ ∉ ⊂ ⊆ and their kin.
bool IsRelationSign(std::u16string_view atom);
// The summand of ∑ and the integrand of ∫ end before a relation sign, a
// comma or a semicolon (the LaTeX reader adds spacing commands and the
// integral's differential).
bool EndsBigOperand(std::u16string_view atom);
// The argument of sin, log ... written without brackets ends before + − ±
// ∓, a relation sign, a comma or a semicolon: "\sin 2x + 1" is sin(2x) + 1.
bool EndsFunctionOperand(std::u16string_view atom);
