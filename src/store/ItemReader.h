#pragma once

#include <istream>
#include <stdexcept>
#include <string>

namespace stowaway {

// Items that cannot be read: the file is damaged.
class DamagedItems : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reading past the end of a file that the reader was told to read.
class ReadPastEnd : public DamagedItems {
  public:
    ReadPastEnd() : DamagedItems("read past the end of the file") {}
};

// An item longer than any path or value the program writes (a file of zeros, say).
class ItemTooLong : public DamagedItems {
  public:
    ItemTooLong() : DamagedItems("an item is too long") {}
};

// The item reader of the data file and of the archiver's listing: comma- or
// line-delimited items, optionally in double quotes, leading blanks and tabs
// skipped; an empty line is one empty item. Lines end in CR LF, LF or CR.
class ItemReader {
  public:
    explicit ItemReader(std::istream& in) : in_(*in.rdbuf()) {}

    static constexpr std::size_t MaxItemLength = std::size_t{1} << 20;

    bool atEnd() const;
    // The next item; throws ReadPastEnd when the file is at its end, ItemTooLong
    // for an item over MaxItemLength.
    std::string ReadItem();

  private:
    // Consumes one line end if one is next; true when it did.
    bool consumeLineEnd();
    void take(std::string& item, int c);
    std::streambuf& in_;
};

}  // namespace stowaway
