// Windows' C library has no newlocale: without a UTF-8 locale, Text.cpp folds
// the case of ASCII letters only. Stands in until letter case comes from a table
// of the project's own.
#pragma once
#include <clocale>
typedef void* locale_t;
#define LC_CTYPE_MASK 1
inline locale_t newlocale(int, const char*, locale_t) {
    return nullptr;
}
inline locale_t uselocale(locale_t) {
    return nullptr;
}
