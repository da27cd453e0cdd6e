#pragma once
// The content security policy every result page is loaded with. Even a page built from a
// hostile reply, or a fault in the text rules, must not run script of anyone else's: only the
// head's own script and the pages' own event handlers run (by their hashes), pictures come
// only over http or https, and nothing else loads, connects, frames or submits.

#include "Text.h"

// The policy, derived from the pages' own literals so that it cannot fall behind them.
const Text& PagePolicy();
// The page with the policy as the first element of its head (or in front of it when it has
// no head of its own).
Text WithPagePolicy(const Text& html);
