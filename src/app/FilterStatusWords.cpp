#include "app/FilterStatusWords.h"

#include "util/Text.h"

namespace nightjar::app {

// Chosen so that none hides inside words common in Windows paths ("debugger",
// "Saturday", "shell", "parser", "assembly" stay whole).
const std::array<std::string_view, 41> kFilteredStatusWords = {
    "motherfucker", "fucking", "fucker",   "fuck",        "bullshit", "horseshit", "shithead",
    "shit",         "asshole", "arsehole", "dumbass",     "jackass",  "smartass",  "badass",
    "bastard",      "bitch",   "bollocks", "buttface",    "butthead", "crapola",   "craphole",
    "dammit",       "goddamn", "dickhead", "douchebag",   "douche",   "jerkoff",   "nutjob",
    "pissed",       "piss",    "prick",    "scumbag",     "skank",    "slut",      "tosser",
    "twat",         "wanker",  "whore",    "dingleberry", "numbnuts", "knobhead",
};

std::string FilterStatusWords(std::string_view text) {
    std::string result(text);
    for (std::string_view word : kFilteredStatusWords) {
        if (text::icontains(result, word)) {
            result = text::ireplaceAll(result, word, "");
        }
    }
    return result;
}

}  // namespace nightjar::app
