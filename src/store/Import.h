#pragma once

#include <string>

namespace stowaway {

struct CrateRecord;

// How a listing reads: a Crate, a header of another version, or not one of ours
// (an archive without the header, a short or damaged listing, a value holding a
// comma, an unreadable number, a count beyond the table).
enum class ListingVerdict { Crate, OtherVersion, NotCompliant };

// Reads the archiver's "-view=brief" listing text. `crate` is filled only when
// the verdict is Crate.
ListingVerdict ParseHeaderListing(const std::string& listing, CrateRecord& crate);

}  // namespace stowaway
