#include "textio/SpeechWords.h"

#include <algorithm>
#include <iterator>
#include <span>

namespace {

struct TSignWords {
  char16_t Sign;
  std::u16string_view Words;
};

// ASCII, Latin-1 and the few signs beyond the palette's block that formulas
// use. "*", "/" and "-" are read as the picture draws them: ×, ∕ and −.
constexpr TSignWords kSigns[] = {
    {u'+', u"plus"},
    {u'-', u"minus"},
    {u'*', u"mal"},
    {u'/', u"geteilt durch"},
    {u'=', u"ist gleich"},
    {u'<', u"kleiner als"},
    {u'>', u"größer als"},
    {u'(', u"Klammer auf"},
    {u')', u"Klammer zu"},
    {u'[', u"eckige Klammer auf"},
    {u']', u"eckige Klammer zu"},
    {u'{', u"geschweifte Klammer auf"},
    {u'}', u"geschweifte Klammer zu"},
    {u'|', u"senkrechter Strich"},
    {u',', u"Komma"},
    {u';', u"Semikolon"},
    {u':', u"Doppelpunkt"},
    {u'.', u"Punkt"},
    {u'!', u"Fakultät"},
    {u'?', u"Fragezeichen"},
    {u'\'', u"Strich"},
    {u'"', u"Anführungszeichen"},
    {u'%', u"Prozent"},
    {u'&', u"und"},
    {u'#', u"Raute"},
    {u'$', u"Dollar"},
    {u'@', u"at"},
    {u'\\', u"Backslash"},
    {u'^', u"Zirkumflex"},
    {u'_', u"Unterstrich"},
    {u'~', u"Tilde"},
    {u'`', u"Gravis"},
    {u'\u00A2', u"Cent"},
    {u'\u00A3', u"Pfund"},
    {u'\u00A7', u"Paragraf"},
    {u'\u00AB', u"Anführungszeichen"},
    {u'\u00AC', u"nicht"},
    {u'\u00B0', u"Grad"},
    {u'\u00B1', u"plus minus"},
    {u'\u00B5', u"my"},
    {u'\u00B7', u"mal"},
    {u'\u00BB', u"Anführungszeichen"},
    {u'\u00BC', u"ein Viertel"},
    {u'\u00BD', u"ein halb"},
    {u'\u00BE', u"drei Viertel"},
    {u'\u00D7', u"mal"},
    {u'\u00F7', u"geteilt durch"},
    {u'\u2013', u"Gedankenstrich"},
    {u'\u2014', u"Gedankenstrich"},
    {u'\u2016', u"doppelter senkrechter Strich"},
    {u'\u2020', u"Kreuz"},
    {u'\u2022', u"Punkt"},
    {u'\u2026', u"Punkt Punkt Punkt"},
    {u'\u2030', u"Promille"},
    {u'\u2032', u"Strich"},
    {u'\u2033', u"zwei Strich"},
    {u'\u2034', u"drei Strich"},
    {u'\u2044', u"Bruchstrich"},
    {u'\u20AC', u"Euro"},
    {u'\u2102', u"Menge der komplexen Zahlen"},
    {u'\u2103', u"Grad Celsius"},
    {u'\u210F', u"h quer"},
    {u'\u2111', u"Imaginärteil"},
    {u'\u2113', u"l"},
    {u'\u2115', u"Menge der natürlichen Zahlen"},
    {u'\u2118', u"Weierstraß-p"},
    {u'\u211A', u"Menge der rationalen Zahlen"},
    {u'\u211C', u"Realteil"},
    {u'\u211D', u"Menge der reellen Zahlen"},
    {u'\u2124', u"Menge der ganzen Zahlen"},
    {u'\u2126', u"Ohm"},
    {u'\u2135', u"Aleph"},
    {u'\u2190', u"Pfeil nach links"},
    {u'\u2191', u"Pfeil nach oben"},
    {u'\u2192', u"gegen"},
    {u'\u2193', u"Pfeil nach unten"},
    {u'\u2194', u"Pfeil nach links und rechts"},
    {u'\u21A6', u"wird abgebildet auf"},
    {u'\u21D0', u"folgt aus"},
    {u'\u21D2', u"daraus folgt"},
    {u'\u21D4', u"genau dann, wenn"},
    {u'\u27E8', u"spitze Klammer auf"},
    {u'\u27E9', u"spitze Klammer zu"},
    {u'\u27F6', u"gegen"},
    {u'\u27F9', u"daraus folgt"},
    {u'\u27FA', u"genau dann, wenn"},
    {u'\u2A7D', u"kleiner gleich"},
    {u'\u2A7E', u"größer gleich"},
};

// Greek, as a German reader names the letters; a capital is "großes …".
constexpr std::u16string_view kGreekSmall[] = {
    u"alpha", u"beta",   u"gamma",   u"delta", u"epsilon", u"zeta",    u"eta",   u"theta", u"iota",
    u"kappa", u"lambda", u"my",      u"ny",    u"xi",      u"omikron", u"pi",    u"rho",   u"sigma",
    u"sigma", u"tau",    u"ypsilon", u"phi",   u"chi",     u"psi",     u"omega",
};
constexpr std::u16string_view kGreekCapital[] = {
    u"großes Alpha", u"großes Beta",    u"großes Gamma",
    u"großes Delta", u"großes Epsilon", u"großes Zeta",
    u"großes Eta",   u"großes Theta",   u"großes Iota",
    u"großes Kappa", u"großes Lambda",  u"großes My",
    u"großes Ny",    u"großes Xi",      u"großes Omikron",
    u"großes Pi",    u"großes Rho",     {},
    u"großes Sigma", u"großes Tau",     u"großes Ypsilon",
    u"großes Phi",   u"großes Chi",     u"großes Psi",
    u"großes Omega",
};
constexpr TSignWords kGreekVariants[] = {
    {u'\u03D0', u"beta"},  {u'\u03D1', u"theta"}, {u'\u03D5', u"phi"},     {u'\u03D6', u"pi"},
    {u'\u03F0', u"kappa"}, {u'\u03F1', u"rho"},   {u'\u03F5', u"epsilon"},
};

// The block of the symbol palette, U+2200 to U+22FF, one row per cell.
constexpr std::u16string_view kOperators[] = {
    u"für alle",                                                  // ∀
    u"Komplement",                                                // ∁
    u"partiell",                                                  // ∂
    u"es existiert",                                              // ∃
    u"es existiert kein",                                         // ∄
    u"leere Menge",                                               // ∅
    u"Delta",                                                     // ∆
    u"Nabla",                                                     // ∇
    u"Element von",                                               // ∈
    u"kein Element von",                                          // ∉
    u"Element von",                                               // ∊
    u"enthält das Element",                                       // ∋
    u"enthält nicht das Element",                                 // ∌
    u"enthält das Element",                                       // ∍
    u"Ende des Beweises",                                         // ∎
    u"Produkt",                                                   // ∏
    u"Koprodukt",                                                 // ∐
    u"Summe",                                                     // ∑
    u"minus",                                                     // −
    u"minus plus",                                                // ∓
    u"Punktplus",                                                 // ∔
    u"geteilt durch",                                             // ∕
    u"ohne",                                                      // ∖
    u"Stern",                                                     // ∗
    u"verkettet mit",                                             // ∘
    u"mal",                                                       // ∙
    u"Wurzel",                                                    // √
    u"Kubikwurzel",                                               // ∛
    u"vierte Wurzel",                                             // ∜
    u"proportional zu",                                           // ∝
    u"unendlich",                                                 // ∞
    u"rechter Winkel",                                            // ∟
    u"Winkel",                                                    // ∠
    u"gemessener Winkel",                                         // ∡
    u"Kugelwinkel",                                               // ∢
    u"teilt",                                                     // ∣
    u"teilt nicht",                                               // ∤
    u"parallel zu",                                               // ∥
    u"nicht parallel zu",                                         // ∦
    u"und",                                                       // ∧
    u"oder",                                                      // ∨
    u"geschnitten mit",                                           // ∩
    u"vereinigt mit",                                             // ∪
    u"Integral",                                                  // ∫
    u"Doppelintegral",                                            // ∬
    u"Dreifachintegral",                                          // ∭
    u"Kurvenintegral",                                            // ∮
    u"Oberflächenintegral",                                       // ∯
    u"Volumenintegral",                                           // ∰
    u"Integral im Uhrzeigersinn",                                 // ∱
    u"Kurvenintegral im Uhrzeigersinn",                           // ∲
    u"Kurvenintegral gegen den Uhrzeigersinn",                    // ∳
    u"also",                                                      // ∴
    u"weil",                                                      // ∵
    u"zu",                                                        // ∶
    u"Proportion",                                                // ∷
    u"Punktminus",                                                // ∸
    u"Überschuss",                                                // ∹
    u"geometrische Proportion",                                   // ∺
    u"homothetisch",                                              // ∻
    u"Tilde",                                                     // ∼
    u"umgekehrte Tilde",                                          // ∽
    u"liegendes umgekehrtes S",                                   // ∾
    u"Sinuswelle",                                                // ∿
    u"Kranzprodukt",                                              // ≀
    u"nicht Tilde",                                               // ≁
    u"Minus über Tilde",                                          // ≂
    u"asymptotisch gleich",                                       // ≃
    u"nicht asymptotisch gleich",                                 // ≄
    u"kongruent zu",                                              // ≅
    u"ungefähr, aber nicht genau gleich",                         // ≆
    u"nicht kongruent zu",                                        // ≇
    u"ungefähr gleich",                                           // ≈
    u"nicht ungefähr gleich",                                     // ≉
    u"ungefähr gleich oder gleich",                               // ≊
    u"dreifache Tilde",                                           // ≋
    u"alles gleich",                                              // ≌
    u"äquivalent zu",                                             // ≍
    u"geometrisch äquivalent zu",                                 // ≎
    u"Differenz zwischen",                                        // ≏
    u"nähert sich dem Grenzwert",                                 // ≐
    u"geometrisch gleich",                                        // ≑
    u"ungefähr gleich oder Bild von",                             // ≒
    u"Bild von oder ungefähr gleich",                             // ≓
    u"ist definiert als",                                         // ≔
    u"von rechts definiert als",                                  // ≕
    u"Ring in gleich",                                            // ≖
    u"Ring über gleich",                                          // ≗
    u"entspricht",                                                // ≘
    u"entspricht",                                                // ≙
    u"gleichwinklig zu",                                          // ≚
    u"Stern gleich",                                              // ≛
    u"Delta gleich",                                              // ≜
    u"ist per Definition gleich",                                 // ≝
    u"gemessen durch",                                            // ≞
    u"fraglich gleich",                                           // ≟
    u"ungleich",                                                  // ≠
    u"identisch gleich",                                          // ≡
    u"nicht identisch gleich",                                    // ≢
    u"streng äquivalent zu",                                      // ≣
    u"kleiner gleich",                                            // ≤
    u"größer gleich",                                             // ≥
    u"kleiner gleich",                                            // ≦
    u"größer gleich",                                             // ≧
    u"kleiner als, aber nicht gleich",                            // ≨
    u"größer als, aber nicht gleich",                             // ≩
    u"viel kleiner als",                                          // ≪
    u"viel größer als",                                           // ≫
    u"zwischen",                                                  // ≬
    u"nicht äquivalent zu",                                       // ≭
    u"nicht kleiner als",                                         // ≮
    u"nicht größer als",                                          // ≯
    u"weder kleiner als noch gleich",                             // ≰
    u"weder größer als noch gleich",                              // ≱
    u"kleiner als oder äquivalent zu",                            // ≲
    u"größer als oder äquivalent zu",                             // ≳
    u"weder kleiner als noch äquivalent zu",                      // ≴
    u"weder größer als noch äquivalent zu",                       // ≵
    u"kleiner oder größer als",                                   // ≶
    u"größer oder kleiner als",                                   // ≷
    u"weder kleiner noch größer als",                             // ≸
    u"weder größer noch kleiner als",                             // ≹
    u"vor",                                                       // ≺
    u"nach",                                                      // ≻
    u"vor oder gleich",                                           // ≼
    u"nach oder gleich",                                          // ≽
    u"vor oder äquivalent zu",                                    // ≾
    u"nach oder äquivalent zu",                                   // ≿
    u"nicht vor",                                                 // ⊀
    u"nicht nach",                                                // ⊁
    u"echte Teilmenge von",                                       // ⊂
    u"echte Obermenge von",                                       // ⊃
    u"keine echte Teilmenge von",                                 // ⊄
    u"keine echte Obermenge von",                                 // ⊅
    u"Teilmenge von",                                             // ⊆
    u"Obermenge von",                                             // ⊇
    u"keine Teilmenge von",                                       // ⊈
    u"keine Obermenge von",                                       // ⊉
    u"Teilmenge, aber nicht gleich",                              // ⊊
    u"Obermenge, aber nicht gleich",                              // ⊋
    u"Multimenge",                                                // ⊌
    u"Multimengenprodukt",                                        // ⊍
    u"Multimengenvereinigung",                                    // ⊎
    u"quadratisches Bild von",                                    // ⊏
    u"quadratisches Original von",                                // ⊐
    u"quadratisches Bild von oder gleich",                        // ⊑
    u"quadratisches Original von oder gleich",                    // ⊒
    u"quadratischer Schnitt",                                     // ⊓
    u"quadratische Vereinigung",                                  // ⊔
    u"eingekreistes Plus",                                        // ⊕
    u"eingekreistes Minus",                                       // ⊖
    u"eingekreistes Mal",                                         // ⊗
    u"eingekreister Schrägstrich",                                // ⊘
    u"eingekreister Punkt",                                       // ⊙
    u"eingekreister Ring",                                        // ⊚
    u"eingekreister Stern",                                       // ⊛
    u"eingekreistes Gleich",                                      // ⊜
    u"eingekreister Strich",                                      // ⊝
    u"eingerahmtes Plus",                                         // ⊞
    u"eingerahmtes Minus",                                        // ⊟
    u"eingerahmtes Mal",                                          // ⊠
    u"eingerahmter Punkt",                                        // ⊡
    u"ergibt",                                                    // ⊢
    u"umgekehrtes ergibt",                                        // ⊣
    u"wahr",                                                      // ⊤
    u"senkrecht auf",                                             // ⊥
    u"Behauptung",                                                // ⊦
    u"modelliert",                                                // ⊧
    u"erfüllt",                                                   // ⊨
    u"erzwingt",                                                  // ⊩
    u"dreifacher senkrechter Strich mit Drehkreuz",               // ⊪
    u"doppelter senkrechter Strich mit doppeltem Drehkreuz",      // ⊫
    u"ergibt nicht",                                              // ⊬
    u"erfüllt nicht",                                             // ⊭
    u"erzwingt nicht",                                            // ⊮
    u"verneinter doppelter Strich mit doppeltem Drehkreuz",       // ⊯
    u"vor in Relation",                                           // ⊰
    u"nach in Relation",                                          // ⊱
    u"Normalteiler von",                                          // ⊲
    u"enthält als Normalteiler",                                  // ⊳
    u"Normalteiler von oder gleich",                              // ⊴
    u"enthält als Normalteiler oder gleich",                      // ⊵
    u"Original von",                                              // ⊶
    u"Bild von",                                                  // ⊷
    u"Mehrfachabbildung",                                         // ⊸
    u"hermitesch konjugierte Matrix",                             // ⊹
    u"transponiert",                                              // ⊺
    u"exklusives Oder",                                           // ⊻
    u"nicht und",                                                 // ⊼
    u"nicht oder",                                                // ⊽
    u"rechter Winkel mit Bogen",                                  // ⊾
    u"rechtwinkliges Dreieck",                                    // ⊿
    u"großes Und",                                                // ⋀
    u"großes Oder",                                               // ⋁
    u"großer Durchschnitt",                                       // ⋂
    u"große Vereinigung",                                         // ⋃
    u"Raute",                                                     // ⋄
    u"mal",                                                       // ⋅
    u"Stern",                                                     // ⋆
    u"Divisionsmal",                                              // ⋇
    u"Verbund",                                                   // ⋈
    u"linkes normales halbdirektes Produkt",                      // ⋉
    u"rechtes normales halbdirektes Produkt",                     // ⋊
    u"linkes halbdirektes Produkt",                               // ⋋
    u"rechtes halbdirektes Produkt",                              // ⋌
    u"umgekehrte Tilde gleich",                                   // ⋍
    u"geschweiftes Oder",                                         // ⋎
    u"geschweiftes Und",                                          // ⋏
    u"doppelte Teilmenge",                                        // ⋐
    u"doppelte Obermenge",                                        // ⋑
    u"doppelter Durchschnitt",                                    // ⋒
    u"doppelte Vereinigung",                                      // ⋓
    u"Gabel",                                                     // ⋔
    u"gleich und parallel zu",                                    // ⋕
    u"kleiner als mit Punkt",                                     // ⋖
    u"größer als mit Punkt",                                      // ⋗
    u"sehr viel kleiner als",                                     // ⋘
    u"sehr viel größer als",                                      // ⋙
    u"kleiner als, gleich oder größer als",                       // ⋚
    u"größer als, gleich oder kleiner als",                       // ⋛
    u"gleich oder kleiner als",                                   // ⋜
    u"gleich oder größer als",                                    // ⋝
    u"gleich oder vor",                                           // ⋞
    u"gleich oder nach",                                          // ⋟
    u"weder vor noch gleich",                                     // ⋠
    u"weder nach noch gleich",                                    // ⋡
    u"kein quadratisches Bild von oder gleich",                   // ⋢
    u"kein quadratisches Original von oder gleich",               // ⋣
    u"quadratisches Bild von, aber nicht gleich",                 // ⋤
    u"quadratisches Original von, aber nicht gleich",             // ⋥
    u"kleiner als, aber nicht äquivalent zu",                     // ⋦
    u"größer als, aber nicht äquivalent zu",                      // ⋧
    u"vor, aber nicht äquivalent zu",                             // ⋨
    u"nach, aber nicht äquivalent zu",                            // ⋩
    u"kein Normalteiler von",                                     // ⋪
    u"enthält nicht als Normalteiler",                            // ⋫
    u"kein Normalteiler von oder gleich",                         // ⋬
    u"enthält nicht als Normalteiler oder gleich",                // ⋭
    u"senkrechte Punkte",                                         // ⋮
    u"Punkt Punkt Punkt",                                         // ⋯
    u"Punkte schräg nach oben",                                   // ⋰
    u"Punkte schräg nach unten",                                  // ⋱
    u"Element von mit langem Querstrich",                         // ⋲
    u"Element von mit senkrechtem Strich am Querstrich",          // ⋳
    u"kleines Element von mit senkrechtem Strich am Querstrich",  // ⋴
    u"Element von mit Punkt darüber",                             // ⋵
    u"Element von mit Überstrich",                                // ⋶
    u"kleines Element von mit Überstrich",                        // ⋷
    u"Element von mit Unterstrich",                               // ⋸
    u"Element von mit zwei Querstrichen",                         // ⋹
    u"enthält mit langem Querstrich",                             // ⋺
    u"enthält mit senkrechtem Strich am Querstrich",              // ⋻
    u"kleines enthält mit senkrechtem Strich am Querstrich",      // ⋼
    u"enthält mit Überstrich",                                    // ⋽
    u"kleines enthält mit Überstrich",                            // ⋾
    u"Element einer Multimenge",                                  // ⋿
};
static_assert(std::size(kOperators) == 256);

struct TFunctionWords {
  std::u16string_view Name;
  std::u16string_view Words;
};

constexpr TFunctionWords kFunctions[] = {
    {u"sin", u"Sinus"},
    {u"cos", u"Kosinus"},
    {u"tan", u"Tangens"},
    {u"cot", u"Kotangens"},
    {u"sec", u"Sekans"},
    {u"csc", u"Kosekans"},
    {u"arcsin", u"Arkussinus"},
    {u"arccos", u"Arkuskosinus"},
    {u"arctan", u"Arkustangens"},
    {u"arccot", u"Arkuskotangens"},
    {u"sinh", u"Sinus hyperbolicus"},
    {u"cosh", u"Kosinus hyperbolicus"},
    {u"tanh", u"Tangens hyperbolicus"},
    {u"coth", u"Kotangens hyperbolicus"},
    {u"log", u"Logarithmus"},
    {u"ln", u"natürlicher Logarithmus"},
    {u"lg", u"Zehnerlogarithmus"},
    {u"lb", u"Zweierlogarithmus"},
    {u"exp", u"Exponentialfunktion"},
    {u"lim", u"Limes"},
    {u"liminf", u"Limes inferior"},
    {u"limsup", u"Limes superior"},
    {u"max", u"Maximum"},
    {u"min", u"Minimum"},
    {u"sup", u"Supremum"},
    {u"inf", u"Infimum"},
    {u"det", u"Determinante"},
    {u"dim", u"Dimension"},
    {u"ker", u"Kern"},
    {u"arg", u"Argument"},
    {u"deg", u"Grad"},
    {u"gcd", u"größter gemeinsamer Teiler"},
    {u"ggT", u"größter gemeinsamer Teiler"},
    {u"kgV", u"kleinstes gemeinsames Vielfaches"},
    {u"sgn", u"Signum"},
    {u"Pr", u"Wahrscheinlichkeit"},
};

constexpr std::u16string_view kOrdinals[] = {
    u"dritte",     u"vierte",     u"fünfte",     u"sechste",    u"siebte",     u"achte",
    u"neunte",     u"zehnte",     u"elfte",      u"zwölfte",    u"dreizehnte", u"vierzehnte",
    u"fünfzehnte", u"sechzehnte", u"siebzehnte", u"achtzehnte", u"neunzehnte",
};

}  // namespace

std::u16string_view WordsOfSign(char16_t c, TSignPlace place) {
  if (c == u'=' && place == TSignPlace::Bound) return u"gleich";
  if (c >= 0x2200 && c <= 0x22FF) return kOperators[c - 0x2200];
  if (c >= 0x03B1 && c <= 0x03C9) return kGreekSmall[c - 0x03B1];
  if (c >= 0x0391 && c <= 0x03A9) return kGreekCapital[c - 0x0391];
  for (const auto& table :
       {std::span<const TSignWords>(kSigns), std::span<const TSignWords>(kGreekVariants)}) {
    const auto found = std::find_if(table.begin(), table.end(),
                                    [c](const TSignWords& sign) { return sign.Sign == c; });
    if (found != table.end()) return found->Words;
  }
  return {};
}

bool IsGreekLetter(char16_t c) {
  return (c >= 0x0391 && c <= 0x03C9 && c != 0x03A2) ||
         std::any_of(std::begin(kGreekVariants), std::end(kGreekVariants),
                     [c](const TSignWords& variant) { return variant.Sign == c; });
}

std::u16string_view WordsOfFunctionName(std::u16string_view name) {
  const auto found = std::find_if(std::begin(kFunctions), std::end(kFunctions),
                                  [name](const TFunctionWords& f) { return f.Name == name; });
  return found == std::end(kFunctions) ? std::u16string_view() : found->Words;
}

std::u16string OrdinalOfIndex(std::u16string_view index) {
  const bool digits =
      !index.empty() && index.size() <= 9 &&
      std::all_of(index.begin(), index.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
  if (digits) {
    unsigned number = 0;
    for (char16_t c : index) number = number * 10 + (c - u'0');
    if (number >= 3 && number < 3 + std::size(kOrdinals)) {
      return std::u16string(kOrdinals[number - 3]);
    }
    // German ordinals end in "-te" up to 19 and in "-ste" from 20 on,
    // after the hundreds as well: 101-te, 120-ste.
    const unsigned lastTwo = number % 100;
    const bool te = number < 20 || (lastTwo >= 1 && lastTwo <= 19);
    return std::u16string(index).append(te ? u"-te" : u"-ste");
  }
  const bool letter = index.size() == 1 && ((index[0] >= u'a' && index[0] <= u'z') ||
                                            (index[0] >= u'A' && index[0] <= u'Z'));
  return letter ? std::u16string(index).append(u"-te") : std::u16string();
}
