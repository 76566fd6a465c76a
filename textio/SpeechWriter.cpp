// Formula to German words, as a teacher reads it aloud. A construct whose
// parts are single numbers or letters is said briefly ("a durch b",
// "x Quadrat"); one with a longer part names its parts and says where it
// ends ("Bruch mit Zähler … und Nenner … Ende Bruch"), so that the listener
// knows what belongs inside. The walk keeps its own stack, so any depth of
// nesting costs heap, not the caller's stack.
#include <string>
#include <vector>

#include "textio/FormulaText.h"
#include "textio/TextTree.h"

namespace {

class TSpeech {
 public:
  void Say(std::u16string_view words) {
    if (words.empty()) return;
    if (!out_.empty()) out_ += u' ';
    out_ += words;
  }
  std::u16string Take() { return std::move(out_); }

 private:
  std::u16string out_;
};

void SayText(TSpeech& speech, std::u16string_view text) {
  for (char16_t c : text) {
    if (c == u' ') continue;
    switch (c) {
      case u'*':
        speech.Say(u"mal");
        break;
      case u'/':
        speech.Say(u"geteilt durch");
        break;
      case u'-':
        speech.Say(u"minus");
        break;
      case u'+':
        speech.Say(u"plus");
        break;
      case u'=':
        speech.Say(u"ist gleich");
        break;
      default:
        speech.Say({&c, 1});
    }
  }
}

struct TTask {
  const TFormulaLine* Line = nullptr;
  std::u16string_view Words;
  bool Text = false;  // term text, not words
};

void SayLine(TSpeech& speech, const TFormulaLine* root) {
  std::vector<TTask> tasks{{root, {}}};
  while (!tasks.empty()) {
    const TTask task = tasks.back();
    tasks.pop_back();
    if (task.Line == nullptr) {
      task.Text ? SayText(speech, task.Words) : speech.Say(task.Words);
      continue;
    }
    for (std::uint32_t i = task.Line->Count(); i-- > 0;) {
      const TFormulaEntry& entry = *EntryAt(*task.Line, i);
      if (entry.IsFunction == 0) {
        tasks.push_back({nullptr, TextOf(entry.Text1), true});
      } else if (entry.IsFunction == 1) {
        tasks.push_back({nullptr, u"Ende Funktion"});
        if (entry.Second != nullptr) tasks.push_back({entry.Second, {}});
        if (entry.First != nullptr) tasks.push_back({entry.First, {}});
        tasks.push_back({nullptr, u"Funktion"});
      }
    }
  }
}

}  // namespace

std::u16string SpeechFromFormula(const TFormulaLine* line) {
  TSpeech speech;
  SayLine(speech, line);
  return speech.Take();
}

std::u16string SpeechFromEntry(const TFormulaEntry& entry) {
  TSpeech speech;
  if (entry.IsFunction == 0) SayText(speech, TextOf(entry.Text1));
  return speech.Take();
}
