// Binary XML of EVTX records: templates, their instances and typed values.
//
// A record is almost always a template instance: the template (the XML's shape,
// with substitution slots) is defined once per chunk and each record carries
// only its values. Templates are parsed into a small tree and cached by their
// offset in the chunk; a later chunk's definition with the same bytes takes
// the template already parsed. Paths such as "Event/System/EventID" are
// resolved on the template once, so rendering a record's values is a lookup.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vzrm::formats {

// Value types, numbered as Windows numbers them (binary XML and EVT_VARIANT alike).
enum BxType : std::uint8_t {
    kBxNull = 0x00,
    kBxString = 0x01,
    kBxAnsiString = 0x02,
    kBxInt8 = 0x03,
    kBxUInt8 = 0x04,
    kBxInt16 = 0x05,
    kBxUInt16 = 0x06,
    kBxInt32 = 0x07,
    kBxUInt32 = 0x08,
    kBxInt64 = 0x09,
    kBxUInt64 = 0x0A,
    kBxReal32 = 0x0B,
    kBxReal64 = 0x0C,
    kBxBool = 0x0D,
    kBxBinary = 0x0E,
    kBxGuid = 0x0F,
    kBxSizeT = 0x10,
    kBxFileTime = 0x11,
    kBxSysTime = 0x12,
    kBxSid = 0x13,
    kBxHexInt32 = 0x14,
    kBxHexInt64 = 0x15,
    kBxBinXml = 0x21,
    kBxArray = 0x80,
};

// A typed value and its bytes, which stay in the log file's memory.
struct BxValue {
    std::uint8_t type = kBxNull;
    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
};

struct BxPiece {
    enum class Kind : std::uint8_t { value, substitution, element };
    Kind kind = Kind::value;
    BxValue value;            // kind value: static text
    std::uint16_t index = 0;  // kind substitution: slot; kind element: element index
    std::uint8_t type = 0;    // kind substitution: declared type
    bool optional = false;
};

struct BxAttribute {
    std::string name;
    std::vector<BxPiece> pieces;
};

struct BxElement {
    std::string name;
    std::vector<BxAttribute> attributes;
    std::vector<BxPiece> content;
};

// Where a path ends: a static value, a substitution slot, or nothing; or a
// substitution holding a nested fragment (Security events carry EventData so)
// where the rest of the path goes on.
struct BxTarget {
    enum class Kind : std::uint8_t { none, value, substitution, nested };
    Kind kind = Kind::none;
    BxValue value;
    std::uint16_t index = 0;
    std::string rest;  // kind nested: the path inside the fragment
};

class BxTemplate {
  public:
    std::vector<BxElement> elements;  // elements[0] is the root
    // Its definition ended before its elements did: they hold what was there.
    bool cutShort = false;
    // How far its root element (and the end-of-fragment token) reach from
    // where the definition's elements begin.
    std::uint32_t parsedSize = 0;

    // A field of the definition that names a name by its chunk offset.
    struct NameField {
        std::uint32_t at = 0;        // where the field is, from the definition's start
        std::uint32_t relative = 0;  // the offset it holds, from the definition's start;
                                     // outside: the name's index in `outsideNames`
        std::uint16_t units = 0;     // inside: the name's length
        bool outside = false;        // the name lies before the definition
        bool definedHere = false;    // the name's bytes follow the field
    };
    // The definition's bytes, once kept: its static values point into them,
    // and a definition in another chunk is the same when its bytes are.
    std::vector<std::uint8_t> definition;
    std::vector<NameField> names;  // in the order of the definition
    // The names before the definition, each once: length and UTF-16 units.
    std::vector<std::string> outsideNames;

    // The target of "Event/System/Provider/@Name"-style paths (cached).
    const BxTarget& Locate(const std::string& path) const;
    // The targets of a list of paths, resolved once per list (`listId` names
    // the list) and kept with the template, so they go when it goes.
    const std::vector<BxTarget>& Locate(std::uint64_t listId,
                                        const std::vector<std::string>& paths) const;
    // The Data elements under EventData (or UserData's first child): names
    // (empty for a Data element without a Name) and targets; or a single
    // nested target where EventData is a fragment of its own.
    const std::vector<std::pair<std::string, BxTarget>>& EventData() const;
    // The substitution index of each EventData target, when every one is a
    // substitution (as in nearly every event); null otherwise.
    const std::vector<std::uint16_t>* EventDataSubstitutions() const;

  private:
    BxTarget Resolve(std::string_view path) const;

    mutable std::unordered_map<std::string, BxTarget> located_;
    mutable std::vector<std::pair<std::uint64_t, std::vector<BxTarget>>> lists_;
    mutable std::unique_ptr<std::vector<std::pair<std::string, BxTarget>>> eventData_;
    mutable std::optional<std::vector<std::uint16_t>> substitutions_;  // made with eventData_
};

class BxTemplateCache;

// Templates parsed in earlier chunks of one file, by their GUID and size: each
// chunk defines its templates anew, most often with the same bytes. Finding
// and remembering are safe from any thread; the templates it gives are used
// as the chunks' own are (their lazy lookups are not).
class BxKnownTemplates {
  public:
    std::shared_ptr<const BxTemplate> Find(const std::string& key) const;
    void Remember(const std::string& key, std::shared_ptr<const BxTemplate> shape);

  private:
    static constexpr std::size_t kMaxKnown = 128;
    mutable std::mutex lock_;
    std::unordered_map<std::string, std::shared_ptr<const BxTemplate>> known_;
};

// A parsed record: its template and the values of this instance.
struct BxDocument {
    std::shared_ptr<const BxTemplate> shape;
    std::vector<BxValue> values;
    std::span<const std::uint8_t> chunk;
    BxTemplateCache* templates = nullptr;
    // Read in spite of damage: a template definition or values cut short
    // (a value then holds the bytes that were there).
    bool repaired = false;

    // The value at a path ("Event/System/EventID"); null when there is none.
    BxValue Value(const std::string& path) const;
    // The value at a target that this document's template resolved.
    BxValue ValueOf(const BxTarget& target) const;
    // The EventData values in order, with their names.
    std::vector<std::pair<std::string, BxValue>> EventData() const;
    // The same values without their names, into `values` (cleared first).
    void EventDataValues(std::vector<BxValue>& values) const;
    // Empty again, its values' buffer kept for the next document.
    void Clear();

  private:
    const BxDocument* Nested(std::uint16_t index) const;
    // Calls visit(name, value) for each EventData value in order.
    template <typename Visit>
    void VisitEventData(Visit&& visit) const;

    mutable std::vector<std::pair<std::uint16_t, std::shared_ptr<BxDocument>>> nested_;
};

// Templates of one chunk by their offset; a chunk's records share them.
class BxTemplateCache {
  public:
    std::shared_ptr<const BxTemplate> Find(std::uint32_t offset) const;
    void Add(std::uint32_t offset, std::shared_ptr<const BxTemplate> shape);
    void Clear() {
        templates_.clear();
        built_ = 0;
    }
    // Counts `bytes` of parsed templates against what one chunk's templates may
    // build (names referenced many times are copied each time); false once past it.
    bool Charge(std::size_t bytes);
    std::size_t Built() const { return built_; }
    // The templates of earlier chunks, shared by the chunks of one file.
    void ShareKnown(std::shared_ptr<BxKnownTemplates> known) { known_ = std::move(known); }
    BxKnownTemplates* Known() const { return known_.get(); }

  private:
    std::shared_ptr<BxKnownTemplates> known_;
    std::unordered_map<std::uint32_t, std::shared_ptr<const BxTemplate>> templates_;
    std::size_t built_ = 0;
};

// Parses the binary XML fragment at [begin, end) of a chunk. Throws
// MalformedInput on anything it cannot read. Damage that leaves the rest
// readable is repaired: a template definition that ends early keeps the
// elements and substitutions it holds, values beyond the record's end are
// cut at it, and the document is marked `repaired`.
BxDocument ParseFragment(std::span<const std::uint8_t> chunk, std::uint32_t begin,
                         std::uint32_t end, BxTemplateCache& cache);
// The same into `document`, whose buffers are reused (what it held goes).
void ParseFragment(std::span<const std::uint8_t> chunk, std::uint32_t begin, std::uint32_t end,
                   BxTemplateCache& cache, BxDocument& document);

}  // namespace vzrm::formats
