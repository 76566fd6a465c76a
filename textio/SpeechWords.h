// The German words for the characters of a formula's texts: operators,
// relations, brackets, Greek letters, the signs of the symbol palette and the
// names of the common functions, as they are read aloud.
#pragma once

#include <string>
#include <string_view>

// Where "=" stands decides how it is read: "x ist gleich 1" in a term,
// "die Summe von k gleich 1 bis n" in a bound.
enum class TSignPlace { Term, Bound };

// The words for one character that is not a letter of a word or a digit;
// empty when it has none (it is then said as itself).
std::u16string_view WordsOfSign(char16_t c, TSignPlace place);
// A letter of the Greek alphabet (Α to ω, the accented ones between them
// included) or one of the variant forms named like their letter (ϑ, ϕ, ϖ ...).
bool IsGreekLetter(char16_t c);
// "Sinus" for "sin", "natürlicher Logarithmus" for "ln"; empty for a word
// that is no known function name.
std::u16string_view WordsOfFunctionName(std::u16string_view name);
// "dritte" for 3, "n-te" for "n": the ordinal before "Wurzel"; empty when
// the index is neither a whole number nor a single letter.
std::u16string OrdinalOfIndex(std::u16string_view index);
