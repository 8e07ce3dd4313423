#pragma once

#include <istream>
#include <stdexcept>
#include <string>

namespace stowaway {

// Reading past the end of a file that the reader was told to read.
class ReadPastEnd : public std::runtime_error {
  public:
    ReadPastEnd() : std::runtime_error("read past the end of the file") {}
};

// The item reader of the data file and of the archiver's listing: comma- or
// line-delimited items, optionally in double quotes, leading blanks and tabs
// skipped; an empty line is one empty item. Lines end in CR LF, LF or CR.
class ItemReader {
  public:
    explicit ItemReader(std::istream& in) : in_(*in.rdbuf()) {}

    bool atEnd() const;
    // The next item; throws ReadPastEnd when the file is at its end.
    std::string ReadItem();

  private:
    // Consumes one line end if one is next; true when it did.
    bool consumeLineEnd();
    std::streambuf& in_;
};

}  // namespace stowaway
