// Names beyond ASCII and how they compare without letter case, shared by the
// case tests, the automated mode's tests and the archiver's round trip, so every
// system is held to the same answers.
#pragma once

#include <string>
#include <vector>

namespace stowaway::test {

struct NamePair {
    std::string name;   // a name as it is stored
    std::string other;  // another spelling of it
    bool same;          // whether the two are one name ignoring letter case
    const char* why;
};

// Simple case folding: one character for one, no normalisation, no locale.
inline const std::vector<NamePair>& NonAsciiNamePairs() {
    static const std::vector<NamePair> pairs = {
        {"Ärger", "ÄRGER", true, "Latin-1 letters"},
        {"Ärger", "ärger", true, "Latin-1 letters"},
        {"Ölsardine", "OLSARDINE", false, "an umlaut is not its base letter"},
        {"Straße", "STRAẞE", true, "capital sharp s folds to ß"},
        {"Straße", "STRASSE", false, "ß becomes ss only in full folding"},
        {"Σοφός", "ΣΟΦΌΣ", true, "Greek with tonos"},
        {"ΣΟΦΟΣ", "σοφος", true, "final sigma folds as sigma"},
        {"İstanbul", "istanbul", false, "dotted capital I has no simple folding"},
        {"ıspanak", "ISPANAK", false, "dotless i folds to itself, I to i"},
        {"Дача", "ДАЧА", true, "Cyrillic"},
        {"Ёлка", "ёлка", true, "Cyrillic outside the basic block"},
        {"Աշխատանք", "ԱՇԽԱՏԱՆՔ", true, "Armenian"},
        {"日本語の写真", "日本語の写真", true, "CJK has no case"},
        {"日本語", "日本话", false, "different characters"},
        {"Café", "CAFÉ", true, "precomposed é"},
        {"Cafe\xcc\x81", "CAFE\xcc\x81", true, "combining acute"},
        {"Cafe\xcc\x81", "Café", false, "no normalisation"},
        {"\xe2\x84\xaa"
         "elvin",
         "kelvin", true, "Kelvin sign folds to k"},
        {"Emoji \xf0\x9f\x98\x80", "EMOJI \xf0\x9f\x98\x80", true, "beyond the BMP"},
        {"bad\xff"
         "Byte",
         "BAD\xff"
         "BYTE",
         true, "a stray byte stays itself"},
        {"bad\xff", "bad\xfe", false, "stray bytes differ"},
        {"cut\xc3", "CUT\xc3", true, "a cut-off sequence stays itself"},
    };
    return pairs;
}

// Names of files that back up and restore unchanged: the valid UTF-8 above, each
// spelling once (on a system that ignores case, only names that differ).
inline std::vector<std::string> NonAsciiFileNames() {
    return {"Ärger.txt",
            "Straße.txt",
            "ΣΟΦΟΣ σοφος.txt",
            "İstanbul ıspanak",
            "Дача.doc",
            "Ёлка",
            "Աշխատանք.txt",
            "日本語の写真.jpg",
            "Café.txt",
            "Cafe\xcc\x81 combining.txt",
            "\xe2\x84\xaa"
            "elvin",
            "Emoji \xf0\x9f\x98\x80.txt"};
}

}  // namespace stowaway::test
