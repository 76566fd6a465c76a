// The readers descend once per level of the text's nesting. A text that can
// nest deeply is read on a thread of its own whose stack holds the deepest
// nesting they accept, whatever the caller's stack has left.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>

// `levels` bounds the nesting of the text (the count of the characters that
// can open a level will do); a text that cannot nest deeply is read right here.
// False when no thread could be started or memory ran out: `work` has not run
// or has not finished. Any other exception of `work` is thrown again here, on
// the caller's thread, wherever `work` ran.
bool RunOnDeepStack(std::size_t levels, const std::function<void()>& work);

// How many of `chars` `text` holds.
template <typename Text, typename Chars>
std::size_t CountOf(const Text& text, const Chars& chars) {
  std::size_t count = 0;
  // A find per character would call memchr for each: a loop over the few
  // chars is several times faster.
  for (auto c : text) count += std::find(chars.begin(), chars.end(), c) != chars.end() ? 1 : 0;
  return count;
}
