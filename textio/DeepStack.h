// The readers descend once per level of the text's nesting. They run on a
// thread of their own whose stack holds the deepest nesting they accept,
// whatever the caller's stack has left.
#pragma once

#include <functional>

void RunOnDeepStack(const std::function<void()>& work);
