#pragma once

#include <string>

namespace stowaway {

class App;
class ListBox;

// The data file writes every value between double quotes and has no escape, so a
// value holding one would not read back. True (after telling the user) when the
// text must be refused; `what` names the value in the message ("A Crate name").
bool RefuseDoubleQuote(App& app, const std::string& text, const std::string& what);

// A Crate holds 4097 folders and 4097 files. True (after telling the user) when the
// list is full; `what` is "folders" or "files".
bool RefuseFullList(App& app, const ListBox& list, const std::string& what);

}  // namespace stowaway
