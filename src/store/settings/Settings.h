#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stowaway {

// The program's own settings beside the data file, which stays as it always was.
// A text file of sections and keyed lines:
//
//   ; comment
//   [crate "Documents"]
//   schedule = daily 02:30
//   overdue_days = 7
//
// A Crate's section is named after it in double quotes; inside them and in values
// a backslash starts an escape (\\, \", \n, \r, \t, \xHH), so any name the data file
// holds fits on one line. Crate sections match their Crate without regard to
// letter case. Lines the program does not know (other sections, other keys,
// comments, even damaged lines) are kept as they are when the file is saved.
class Settings {
  public:
    // Reads the text; every line that is not understood is kept and described in
    // problems ("line 4: ..."), never dropped.
    static Settings Parse(std::string_view text, std::vector<std::string>& problems);
    // The file's text: the lines as read, with the changes made since.
    std::string format() const;

    std::optional<std::string> crateValue(std::string_view crate, std::string_view key) const;
    // Sets a key of a Crate, adding its section when it has none.
    void setCrateValue(std::string_view crate, std::string_view key, std::string_view value);
    // Removes a key; a section left with no line is removed too.
    void removeCrateValue(std::string_view crate, std::string_view key);
    // Keeps a Crate's keys under its new name.
    void renameCrate(std::string_view from, std::string_view to);
    void removeCrate(std::string_view crate);
    bool hasCrate(std::string_view crate) const { return findCrate(crate) != nullptr; }
    // The names of the Crate sections, as written.
    std::vector<std::string> crateNames() const;

  private:
    struct Line {
        std::string raw;  // the line as read or last written
        std::string key;  // empty for comments, blanks and lines not understood
        std::string value;
    };
    struct Section {
        std::string header;  // the header line as read; empty before the first one
        bool isCrate = false;
        std::string crate;
        std::vector<Line> lines;
    };

    Section* findCrate(std::string_view crate);
    const Section* findCrate(std::string_view crate) const;
    static void setLine(Line& line, std::string_view key, std::string_view value);

    std::vector<Section> sections_;
};

// Section and value text: escapes what would break the line or the quotes.
std::string EscapeSettingsText(std::string_view text);
// Undoes EscapeSettingsText; nullopt for a broken escape.
std::optional<std::string> UnescapeSettingsText(std::string_view text);

}  // namespace stowaway
