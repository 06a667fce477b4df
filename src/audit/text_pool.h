// The texts of one read, each stored once: the records of a read name their
// user, computer, object and process by 4-byte ids, and a dense log repeats
// the same few users, computers and programs and its files many times.
//
// Every text also has a key that it shares with all texts equal to it
// ignoring case. The key is found once per distinct text, not per record.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "base/chunked_vector.h"

namespace vzrm {

class CTextPool {
  public:
    using Id = std::uint32_t;
    // Equal keys, texts equal ignoring case.
    using Key = std::uint32_t;
    // An id no text has.
    static constexpr Id kNoId = 0xFFFFFFFFu;

    // The id of `text`, stored on its first sight; ids count up from 0.
    Id Intern(std::string_view text);
    std::string_view Text(Id id) const {
        // The length before the bytes, seven bits a byte, low bits first.
        const auto* at = reinterpret_cast<const unsigned char*>(texts_[id]);
        std::size_t length = 0;
        for (unsigned shift = 0;; shift += 7) {
            const unsigned char byte = *at++;
            length |= static_cast<std::size_t>(byte & 0x7F) << shift;
            if (byte < 0x80) {
                break;
            }
        }
        return {reinterpret_cast<const char*>(at), length};
    }
    Key KeyOf(Id id) const { return keys_[id]; }
    // The key of the texts equal to `text` ignoring case, if the pool holds any.
    std::optional<Key> FindKey(std::string_view text) const;
    std::size_t Size() const { return texts_.size(); }
    // Frees the table that Intern and FindKey search (a fifth of what a text
    // costs) once no more are to come; either rebuilds it when called.
    void ReleaseSearch();

  private:
    // Ids with their hashes, open-addressed; the pool compares the texts.
    class IdTable {
      public:
        // Calls `visit(id)` for the ids of hash `hash` until it returns false.
        template <typename Visit>
        void ForEach(std::size_t hash, Visit&& visit) const;
        void Add(std::size_t hash, Id id);

      private:
        struct Slot {
            std::uint32_t idPlusOne = 0;  // 0: empty
            std::uint32_t hash = 0;
        };
        std::size_t Home(std::uint32_t hash) const;
        void Put(Slot slot);
        std::vector<Slot> slots_;
        std::size_t count_ = 0;
    };

    // Intern by the hash table alone.
    Id InternByHash(std::string_view text);
    // A copy of `text`, its length before it, in the pool's blocks, which never move.
    const char* Store(std::string_view text);
    void RebuildSearch() const;

    // The last texts interned: a record's user, computer and program are
    // nearly always the last record's, found here without a hash.
    static constexpr std::size_t kRecent = 4;
    Id recent_[kRecent] = {kNoId, kNoId, kNoId, kNoId};
    std::size_t recentNext_ = 0;

    std::vector<std::unique_ptr<char[]>> blocks_;
    char* next_ = nullptr;  // the free rest of the last block
    std::size_t left_ = 0;
    // By id, where its length and bytes are: 8 bytes, where a string_view took 16.
    CChunkedVector<const char*> texts_;
    // By id: the key, which is the id of the first text of its case-folded form.
    CChunkedVector<Key> keys_;
    mutable bool searchReleased_ = false;
    // Every id, by the hash of its text case-folded; rebuilt on demand after ReleaseSearch.
    mutable IdTable table_;
};

}  // namespace vzrm
