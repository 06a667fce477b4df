// Where a log file could not be read as it was written, and why: what an
// investigator needs to look at the bytes himself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vzrm::formats {

struct DamagePlace {
    enum class Kind : std::uint8_t {
        block,         // a 64 KiB block that is neither a chunk nor unused
        tail,          // the file ends before its log does
        chunkHeader,   // a chunk header's checksum
        chunkRecords,  // a chunk's records' checksum
        recordPlace,   // no record could be found here
        recordContent  // a record whose contents could not be read
    };
    Kind kind = Kind::recordPlace;
    std::uint64_t offset = 0;  // in the file
    std::int64_t chunk = -1;   // EVTX: the chunk's number in the file; -1 when none
    std::uint64_t record = 0;  // the record number; 0 when not known
    std::string reason;        // short: "record size beyond the chunk"
};

// The places of one read, in the order met: the first kKept kept, the rest
// only counted, so that a file of nothing but damage costs little memory.
class DamagePlaces {
  public:
    static constexpr std::size_t kKept = 1000;

    void Add(DamagePlace place);
    std::size_t Count() const { return count_; }
    const std::vector<DamagePlace>& Kept() const { return kept_; }

  private:
    std::vector<DamagePlace> kept_;
    std::size_t count_ = 0;
};

// "chunk 3, offset 0x31a28, record 1234: template cut short"; the chunk and
// the record left out where not known.
std::string DamagePlaceText(const DamagePlace& place);

}  // namespace vzrm::formats
