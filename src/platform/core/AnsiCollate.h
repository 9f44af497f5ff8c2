// Caseless comparison of 1251 text in the Russian user's collation, as a list sorted
// "by name" shows it: symbols before digits, digits before Latin letters, Latin before
// Cyrillic, the Cyrillic letters in alphabetical order (Ё as a variant of Е, Ґ after Г,
// Є after Е, І and Ї after И, Ў after У ...). Hyphens and apostrophes are skipped at
// first, so that "co-op" stays next to "coop" (a word sort); they, and then the bytes
// themselves, only break ties. Equal means equal without regard to case.
#pragma once

#include <string_view>

// Negative, zero or positive as a sorts before, with or after b.
int AnsiCollateText(std::string_view a, std::string_view b);
