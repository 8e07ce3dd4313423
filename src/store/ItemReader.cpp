#include "store/ItemReader.h"

namespace stowaway {

namespace {
constexpr int End = std::char_traits<char>::eof();
bool IsLineEnd(int c) {
    return c == '\r' || c == '\n';
}
}  // namespace

bool ItemReader::atEnd() const {
    return in_.sgetc() == End;
}

bool ItemReader::consumeLineEnd() {
    int c = in_.sgetc();
    if (c == '\r') {
        in_.sbumpc();
        if (in_.sgetc() == '\n') in_.sbumpc();
        return true;
    }
    if (c == '\n') {
        in_.sbumpc();
        return true;
    }
    return false;
}

void ItemReader::take(std::string& item, int c) {
    if (item.size() >= MaxItemLength) throw ItemTooLong();
    item += static_cast<char>(c);
    in_.sbumpc();
}

std::string ItemReader::ReadItem() {
    if (atEnd()) throw ReadPastEnd();
    int c = in_.sgetc();
    while (c == ' ' || c == '\t') {
        in_.sbumpc();
        c = in_.sgetc();
    }
    std::string item;
    if (c == '"') {
        in_.sbumpc();
        for (c = in_.sgetc(); c != End && c != '"'; c = in_.sgetc()) take(item, c);
        if (c == '"') in_.sbumpc();
        // Move past the next comma or line end.
        for (c = in_.sgetc(); c != End && c != ',' && !IsLineEnd(c); c = in_.sgetc()) in_.sbumpc();
        if (c == ',')
            in_.sbumpc();
        else
            consumeLineEnd();
        return item;
    }
    for (c = in_.sgetc(); c != End && c != ',' && !IsLineEnd(c); c = in_.sgetc()) take(item, c);
    if (c == ',')
        in_.sbumpc();
    else
        consumeLineEnd();
    std::size_t last = item.find_last_not_of(' ');
    item.erase(last == std::string::npos ? 0 : last + 1);
    return item;
}

}  // namespace stowaway
