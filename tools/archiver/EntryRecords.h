// The records of the entries written, kept until the central directory is
// out: the latest few thousand in memory, the rest in a work file in the
// archive's folder that has no name, so that no exit leaves it behind.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "Os.h"
#include "ZipFormat.h"

namespace pkzip {

class EntryRecords {
  public:
    // `folder` gets the work file once more than `inMemory` records are kept.
    explicit EntryRecords(std::string folder, size_t inMemory = 8192);
    ~EntryRecords();
    EntryRecords(const EntryRecords&) = delete;
    EntryRecords& operator=(const EntryRecords&) = delete;

    // Both throw WriteError when the work file cannot be made or written.
    void Add(const EntryRecord& e);
    // Call `fn` with every record in order; what Change's `fn` changes is kept.
    void Visit(const std::function<void(const EntryRecord&)>& fn) const;
    void Change(const std::function<void(EntryRecord&)>& fn);

    // Called after each chunk that Visit, Change and Read went through, for
    // what the records' views point into to let go of what was read.
    void AfterChunk(std::function<void()> fn) { afterChunk_ = std::move(fn); }

    size_t Size() const { return spilled_ + tail_.size(); }
    bool Empty() const { return Size() == 0; }
    // Records [first, first + count) into `out`; throws WriteError.
    void Read(size_t first, size_t count, std::vector<EntryRecord>& out) const;

  private:
    void Spill();
    void ReadSpilled(size_t first, size_t count, EntryRecord* to) const;
    void WriteSpilled(size_t first, size_t count, const EntryRecord* from);

    std::string folder_;
    size_t inMemory_;
    os::Handle fd_ = os::kNoHandle;
    size_t spilled_ = 0;  // records in the work file
    std::vector<EntryRecord> tail_;
    std::function<void()> afterChunk_;
};

}  // namespace pkzip
