// The readers descend once per level of the text's nesting. A text that can
// nest deeply is read on a thread of its own whose stack holds the deepest
// nesting they accept, whatever the caller's stack has left.
#pragma once

#include <cstddef>
#include <functional>

// `levels` bounds the nesting of the text (the count of the characters that
// can open a level will do); a text that cannot nest deeply is read right here.
void RunOnDeepStack(std::size_t levels, const std::function<void()>& work);

// How many of `chars` `text` holds.
template <typename Text, typename Chars>
std::size_t CountOf(const Text& text, const Chars& chars) {
  std::size_t count = 0;
  for (auto c : text) count += chars.find(c) != Chars::npos ? 1 : 0;
  return count;
}
