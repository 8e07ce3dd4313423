// Letter case for names, by the project's own table of all of Unicode, so that
// the program and its tools treat "ÄRGER" and "ärger" alike on every system,
// whatever locales the C library has. Text is UTF-8; a byte that is not part of
// well-formed UTF-8 stands for itself and is never changed.
#pragma once

#include <string>
#include <string_view>

namespace stowaway {

// Simple case folding (Unicode's C and S mappings): one character for one, so
// Σ, σ and ς are alike, and ß stays ß (only full folding makes it "ss").
char32_t FoldChar(char32_t c);
char32_t LowerChar(char32_t c);
char32_t UpperChar(char32_t c);

std::string FoldCase(std::string_view text);
std::string LowerCase(std::string_view text);
std::string UpperCase(std::string_view text);

// Compares the folded texts bytewise (which is their characters' order); <0, 0, >0.
int CompareFolded(std::string_view a, std::string_view b);
bool EqualsFolded(std::string_view a, std::string_view b);

// The folded characters of a text, for matching one character at a time; a byte
// that is not UTF-8 becomes kStrayByte + its value, outside all characters.
inline constexpr char32_t kStrayByte = 0x110000;
std::u32string FoldedCharacters(std::string_view text);

}  // namespace stowaway
