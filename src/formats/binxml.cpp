#include "formats/binxml.h"

#include <algorithm>
#include <cstring>

#include "base/wide_text.h"
#include "formats/binxml_value_text.h"
#include "formats/byte_reader.h"

namespace vzrm::formats {
namespace {

constexpr std::uint8_t kTokenOpenStart = 0x01;
constexpr std::uint8_t kTokenCloseStart = 0x02;
constexpr std::uint8_t kTokenCloseEmpty = 0x03;
constexpr std::uint8_t kTokenEndElement = 0x04;
constexpr std::uint8_t kTokenValue = 0x05;
constexpr std::uint8_t kTokenAttribute = 0x06;
constexpr std::uint8_t kTokenCData = 0x07;
constexpr std::uint8_t kTokenCharRef = 0x08;
constexpr std::uint8_t kTokenEntityRef = 0x09;
constexpr std::uint8_t kTokenPiTarget = 0x0A;
constexpr std::uint8_t kTokenPiData = 0x0B;
constexpr std::uint8_t kTokenTemplateInstance = 0x0C;
constexpr std::uint8_t kTokenNormalSubstitution = 0x0D;
constexpr std::uint8_t kTokenOptionalSubstitution = 0x0E;
constexpr std::uint8_t kTokenFragmentHeader = 0x0F;
constexpr std::uint8_t kTokenMoreFlag = 0x40;

constexpr int kMaxDepth = 64;
constexpr std::size_t kMaxElements = 4096;
constexpr std::size_t kMaxValues = 4096;
constexpr std::size_t kElementsReserved = 32;
constexpr std::size_t kScratchPiecesKept = 1024;
// Templates known again in later chunks are kept while the file is read: only
// those of ordinary size (real ones build a few KiB from a definition of one
// or two), so that the templates kept take a few MiB at most.
constexpr std::size_t kMaxKnownTemplateBytes = 32 * 1024;
constexpr std::size_t kMaxKnownDefinition = 16 * 1024;
// Real chunks build well under a MiB of templates; 64 KiB of bytes that name
// one long name from every element could build gigabytes.
constexpr std::size_t kMaxTemplateBytesPerChunk = std::size_t{16} << 20;

std::uint8_t Base(std::uint8_t token) {
    return token & static_cast<std::uint8_t>(~kTokenMoreFlag);
}

std::string Utf16Text(const std::uint8_t* data, std::size_t units) {
    std::string text;
    AppendNarrowOfUtf16Le(data, units, text);
    return text;
}

class TemplateParser {
  public:
    // `lenient`: a definition that ends early keeps what it holds.
    TemplateParser(std::span<const std::uint8_t> chunk, std::uint32_t begin, std::uint32_t end,
                   BxTemplateCache& cache, bool lenient = false)
        : in_(chunk.first(end), begin), begin_(begin), cache_(cache), lenient_(lenient) {}

    std::shared_ptr<BxTemplate> ParseRoot() {
        auto shape = std::make_shared<BxTemplate>();
        shape_ = shape.get();
        // Event templates hold a few dozen elements: one allocation, not six.
        shape->elements.reserve(kElementsReserved);
        SkipFragmentHeader();
        if (Base(in_.Peek<std::uint8_t>()) != kTokenOpenStart) {
            throw MalformedInput("fragment without a root element", in_.Position());
        }
        ParseElement(0);
        if (in_.Remaining() > 0 && in_.Peek<std::uint8_t>() == 0) {
            in_.Skip(1);  // end of fragment
        }
        shape->parsedSize = static_cast<std::uint32_t>(in_.Position() - begin_);
        return shape;
    }

    std::size_t Position() const { return in_.Position(); }
    // An element header without dependency identifier was read.
    bool ShortHeaders() const { return shortHeaders_; }

  private:
    // The cleared buffer of pieces for an element at `depth`.
    static std::vector<BxPiece>& Scratch(int depth) {
        thread_local std::vector<std::vector<BxPiece>> buffers;
        // Sized once for the deepest element: no buffer moves while one is in use.
        if (buffers.size() < kMaxDepth + 1) {
            buffers.resize(kMaxDepth + 1);
        }
        std::vector<BxPiece>& pieces = buffers[static_cast<std::size_t>(depth)];
        pieces.clear();
        return pieces;
    }

    // The pieces read into `read` (a buffer of Scratch) go to `kept`, at their
    // size; a buffer grown large goes too, so that a thread keeps little.
    static void KeepPieces(std::vector<BxPiece>& read, std::vector<BxPiece>& kept) {
        kept.assign(read.begin(), read.end());
        if (read.capacity() > kScratchPiecesKept) {
            std::vector<BxPiece>().swap(read);
        }
    }

    void Charge(std::size_t bytes) {
        if (!cache_.Charge(bytes)) {
            throw MalformedInput("templates larger than a chunk can hold", in_.Position());
        }
    }

    void SkipFragmentHeader() {
        if (in_.Remaining() > 0 && in_.Peek<std::uint8_t>() == kTokenFragmentHeader) {
            in_.Skip(4);
        }
    }

    // A name referenced by offset; defined in place when the offset is here.
    std::string ReadName(std::uint32_t offset) {
        const std::size_t here = in_.Position();
        ByteReader at(in_.Bytes(), offset);
        at.Skip(6);  // next name offset, hash
        const auto units = at.Read<std::uint16_t>();
        const std::uint8_t* text = at.Take(2u * units);
        std::string name = Utf16Text(text, units);
        Charge(name.size());
        if (offset == here) {
            in_.Seek(at.Position() + 2);  // and the terminating zero
        } else if (offset > here) {
            throw MalformedInput("name after its use", here);
        }
        NoteName(here - 4, offset, text - 2, 2u + 2u * units);
        return name;
    }

    // Where the definition names a name, so that the same definition is known
    // again in another chunk; `raw` are the name's length and units.
    void NoteName(std::size_t field, std::uint32_t offset, const std::uint8_t* raw,
                  std::size_t size) {
        Charge(sizeof(BxTemplate::NameField));
        BxTemplate::NameField& note = shape_->names.emplace_back();
        note.at = static_cast<std::uint32_t>(field - begin_);
        note.definedHere = offset == field + 4;
        note.outside = offset < begin_;
        if (!note.outside) {
            note.relative = offset - begin_;
            note.units = static_cast<std::uint16_t>((size - 2) / 2);
            return;
        }
        // A name named many times is kept once.
        const auto [it, added] = outsideNames_.try_emplace(
            offset, static_cast<std::uint32_t>(shape_->outsideNames.size()));
        if (added) {
            shape_->outsideNames.emplace_back(reinterpret_cast<const char*>(raw), size);
        }
        note.relative = it->second;
    }

    // Elements inside templates carry a 16-bit dependency identifier that
    // elements written outside templates (forwarded events) lack. Sizes and
    // offsets inside one 64 KiB chunk tell the two layouts apart.
    std::uint32_t ReadElementHeader() {
        const std::size_t p = in_.Position();
        auto plausible = [&](std::size_t sizeAt, std::size_t nameAt, std::size_t after) {
            if (in_.Remaining() < after - p) {
                return false;
            }
            const auto size = in_.Peek<std::uint32_t>(sizeAt - p);
            const auto name = in_.Peek<std::uint32_t>(nameAt - p);
            return size < 0x10000 && (name == after || name < p);
        };
        if (plausible(p + 2, p + 6, p + 10)) {
            in_.Skip(6);
        } else if (plausible(p, p + 4, p + 8)) {
            // Told apart by the value of the name's offset, which moves with
            // the definition: such a template is not known again elsewhere.
            shortHeaders_ = true;
            in_.Skip(4);
        } else {
            throw MalformedInput("element header", p);
        }
        return in_.Read<std::uint32_t>();
    }

    std::uint16_t ParseElement(int depth) {
        if (depth > kMaxDepth || shape_->elements.size() >= kMaxElements) {
            throw MalformedInput("elements nested too deep or too many", in_.Position());
        }
        const std::uint8_t token = in_.Read<std::uint8_t>();
        const auto index = static_cast<std::uint16_t>(shape_->elements.size());
        Charge(sizeof(BxElement));
        shape_->elements.emplace_back();
        const std::uint32_t nameOffset = ReadElementHeader();
        std::string name = ReadName(nameOffset);
        shape_->elements[index].name = std::move(name);
        try {
            ParseElementBody(token, index, depth);
        } catch (const TruncatedInput&) {
            if (!lenient_) {
                throw;
            }
            EndDefinitionHere();
        } catch (const MalformedInput& error) {
            // Nothing but zeros after it: the record's padding, not more template.
            if (!lenient_ || !OnlyZerosFrom(error.at)) {
                throw;
            }
            EndDefinitionHere();
        }
        return index;
    }

    // The definition ends here: every element still open ends with it.
    void EndDefinitionHere() {
        shape_->cutShort = true;
        in_.Seek(in_.Bytes().size());
    }

    bool OnlyZerosFrom(std::size_t at) const {
        const std::span<const std::uint8_t> bytes = in_.Bytes();
        return at < bytes.size() && std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                                bytes.end(), [](std::uint8_t b) { return b == 0; });
    }

    void ParseElementBody(std::uint8_t token, std::uint16_t index, int depth) {
        if (token & kTokenMoreFlag) {
            in_.Skip(4);  // attribute list size
            while (Base(in_.Peek<std::uint8_t>()) == kTokenAttribute) {
                in_.Skip(1);
                Charge(sizeof(BxAttribute));
                BxAttribute attribute;
                attribute.name = ReadName(in_.Read<std::uint32_t>());
                std::vector<BxPiece>& pieces = Scratch(depth);
                ParsePieces(pieces, depth, /*inAttribute=*/true);
                KeepPieces(pieces, attribute.pieces);
                shape_->elements[index].attributes.push_back(std::move(attribute));
            }
        }
        const std::uint8_t close = Base(in_.Read<std::uint8_t>());
        if (close == kTokenCloseEmpty) {
            return;
        }
        if (close != kTokenCloseStart) {
            throw MalformedInput("element not closed", in_.Position() - 1);
        }
        // Read into a buffer kept from one element to the next, then copied
        // at its size: growing each element's own list took most of a
        // template's allocations. Whatever ends the content, the pieces read
        // so far belong to the element.
        std::vector<BxPiece>& content = Scratch(depth);
        try {
            ParsePieces(content, depth, /*inAttribute=*/false);
        } catch (...) {
            KeepPieces(content, shape_->elements[index].content);
            throw;
        }
        KeepPieces(content, shape_->elements[index].content);
        if (Base(in_.Read<std::uint8_t>()) != kTokenEndElement) {
            throw MalformedInput("element without end", in_.Position() - 1);
        }
    }

    // Values, substitutions and (in content) child elements, up to the first other token.
    void ParsePieces(std::vector<BxPiece>& pieces, int depth, bool inAttribute) {
        while (in_.Remaining() > 0) {
            const std::uint8_t base = Base(in_.Peek<std::uint8_t>());
            BxPiece piece;
            if (base == kTokenValue) {
                in_.Skip(1);
                piece.value = ReadInlineValue();
            } else if (base == kTokenNormalSubstitution || base == kTokenOptionalSubstitution) {
                in_.Skip(1);
                piece.kind = BxPiece::Kind::substitution;
                piece.optional = base == kTokenOptionalSubstitution;
                piece.index = in_.Read<std::uint16_t>();
                piece.type = in_.Read<std::uint8_t>();
            } else if (base == kTokenCData) {
                in_.Skip(1);
                piece.value = ReadUtf16Counted();
            } else if (base == kTokenCharRef || base == kTokenEntityRef) {
                // Escapes of single characters: not part of any value we read.
                in_.Skip(base == kTokenCharRef ? 3 : 5);
                continue;
            } else if (!inAttribute && (base == kTokenPiTarget || base == kTokenPiData)) {
                in_.Skip(1);
                if (base == kTokenPiTarget) {
                    ReadName(in_.Read<std::uint32_t>());
                } else {
                    ReadUtf16Counted();
                }
                continue;
            } else if (!inAttribute && base == kTokenOpenStart) {
                piece.kind = BxPiece::Kind::element;
                piece.index = ParseElement(depth + 1);
            } else {
                return;
            }
            Charge(sizeof(BxPiece));
            pieces.push_back(piece);
        }
    }

    BxValue ReadUtf16Counted() {
        const auto units = in_.Read<std::uint16_t>();
        return {kBxString, in_.Take(2u * units), 2u * units};
    }

    BxValue ReadInlineValue() {
        const auto type = in_.Read<std::uint8_t>();
        if (type != kBxString) {
            throw MalformedInput("inline value that is not text", in_.Position() - 1);
        }
        return ReadUtf16Counted();
    }

    ByteReader in_;
    std::uint32_t begin_;
    bool shortHeaders_ = false;
    std::unordered_map<std::uint32_t, std::uint32_t> outsideNames_;  // by offset
    BxTemplateCache& cache_;
    bool lenient_ = false;
    BxTemplate* shape_ = nullptr;
};

// Whether the definition of `size` bytes at `begin` of `chunk` reads as
// `known` read: the same bytes, with the chunk offsets of its names moved
// along with it, and the same names where they lie before it.
bool SameDefinition(const BxTemplate& known, std::span<const std::uint8_t> chunk, std::size_t begin,
                    std::size_t size) {
    const std::vector<std::uint8_t>& old = known.definition;
    if (old.size() != size || size > chunk.size() - begin) {
        return false;
    }
    const std::uint8_t* now = chunk.data() + begin;
    std::size_t from = 0;
    const auto sameUpTo = [&](std::size_t to) {
        return to >= from && to <= size &&
               std::memcmp(now + from, old.data() + from, to - from) == 0;
    };
    for (const BxTemplate::NameField& field : known.names) {
        if (!sameUpTo(field.at) || size - field.at < 4) {
            return false;
        }
        const auto offset = LoadLe<std::uint32_t>(now + field.at);
        if (field.outside) {
            const std::string& raw = known.outsideNames[field.relative];
            const std::size_t name = std::size_t{offset} + 6;  // past the link and the hash
            if (offset >= begin || name + raw.size() > begin + size ||
                std::memcmp(chunk.data() + name, raw.data(), raw.size()) != 0) {
                return false;
            }
        } else {
            // The name's length and text as read, wherever they lie: even in
            // a part of the definition skipped here.
            const std::size_t name = std::size_t{field.relative} + 6;
            const std::size_t length = 2 + 2 * std::size_t{field.units};
            if (offset < begin || offset - begin != field.relative || name + length > size ||
                std::memcmp(now + name, old.data() + name, length) != 0) {
                return false;
            }
        }
        from = field.at + 4;
        if (field.definedHere) {
            from += 4;  // the link of the chunk's table of names differs from chunk to chunk
        }
    }
    return sameUpTo(size);
}

// Keeps the definition's bytes with the template, its static values pointing
// into them rather than into the chunk; false when a value lies outside.
bool KeepDefinition(BxTemplate& shape, std::span<const std::uint8_t> chunk, std::size_t begin,
                    std::size_t size) {
    shape.definition.assign(chunk.begin() + static_cast<std::ptrdiff_t>(begin),
                            chunk.begin() + static_cast<std::ptrdiff_t>(begin + size));
    const std::uint8_t* from = chunk.data() + begin;
    bool inside = true;
    const auto move = [&](std::vector<BxPiece>& pieces) {
        for (BxPiece& piece : pieces) {
            if (piece.kind != BxPiece::Kind::value || piece.value.data == nullptr) {
                continue;
            }
            if (piece.value.data < from || piece.value.data + piece.value.size > from + size) {
                inside = false;
                continue;
            }
            piece.value.data = shape.definition.data() + (piece.value.data - from);
        }
    };
    for (BxElement& element : shape.elements) {
        for (BxAttribute& attribute : element.attributes) {
            move(attribute.pieces);
        }
        move(element.content);
    }
    return inside;
}

std::shared_ptr<const BxTemplate> TemplateAt(std::span<const std::uint8_t> chunk,
                                             std::uint32_t offset, BxTemplateCache& cache) {
    if (auto known = cache.Find(offset)) {
        return known;
    }
    ByteReader header(chunk, offset);
    header.Skip(4);  // next template offset
    const std::uint8_t* guidAndSize = header.Take(16 + 4);
    const std::size_t size = LoadLe<std::uint32_t>(guidAndSize + 16);
    const std::size_t begin = header.Position();
    // A definition whose size runs past the chunk is read as far as it goes.
    const bool beyond = size > chunk.size() - begin;
    BxKnownTemplates* known = cache.Known();
    const std::string key(reinterpret_cast<const char*>(guidAndSize), 16 + 4);
    if (known != nullptr && !beyond) {
        if (auto same = known->Find(key); same && SameDefinition(*same, chunk, begin, size)) {
            cache.Add(offset, same);
            return same;
        }
    }
    const std::size_t builtBefore = cache.Built();
    TemplateParser parser(chunk, static_cast<std::uint32_t>(begin),
                          static_cast<std::uint32_t>(beyond ? chunk.size() : begin + size), cache,
                          /*lenient=*/true);
    std::shared_ptr<BxTemplate> shape = parser.ParseRoot();
    if (shape->cutShort && !beyond) {
        // Perhaps only its size is too small: the elements may end after it.
        try {
            TemplateParser whole(chunk, static_cast<std::uint32_t>(begin),
                                 static_cast<std::uint32_t>(chunk.size()), cache);
            shape = whole.ParseRoot();
        } catch (const MalformedInput&) {
        }
    } else if (known != nullptr && !shape->cutShort && !beyond && !parser.ShortHeaders() &&
               cache.Built() - builtBefore <= kMaxKnownTemplateBytes &&
               size <= kMaxKnownDefinition && KeepDefinition(*shape, chunk, begin, size)) {
        known->Remember(key, shape);
    }
    cache.Add(offset, shape);
    return shape;
}

bool KnownValueType(std::uint8_t type) {
    const std::uint8_t base = type & static_cast<std::uint8_t>(~kBxArray);
    return base <= kBxHexInt64 || (type == kBxBinXml);
}

// A value whose size its type does not have: a SID whose bytes end before
// or go on after the sub-authorities it counts, a pointer of no pointer's
// size. It is read as far as it makes sense (a SID with the bytes it needs).
// A null with bytes is no damage: Windows writes nulls of 2 and 16 bytes
// where a value is left out; they read as null.
bool ValueDamaged(const BxValue& value) {
    switch (value.type) {
        case kBxSizeT:
            return !SizeTWellSized(value);
        case kBxSid:
            return value.size < 8 || value.size != 8u + 4u * value.data[1];
        default:
            return false;
    }
}

// The substitution values at `at`: false when there are none that make sense.
// Values that run past the end are cut at it (the document is then repaired).
bool ReadValues(std::span<const std::uint8_t> bytes, std::size_t at, BxDocument& document) {
    if (at + 4 > bytes.size()) {
        return false;
    }
    ByteReader in(bytes, at);
    const auto count = in.Read<std::uint32_t>();
    if (count > kMaxValues || count * 4ull > in.Remaining()) {
        return false;
    }
    const std::uint8_t* descriptors = in.Take(count * 4u);
    document.values.resize(count);
    bool cut = false;
    // One pass: the values of a list with an unknown type are dropped after it.
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* descriptor = descriptors + 4 * i;
        if (!KnownValueType(descriptor[2]) || descriptor[3] != 0) {
            document.values.clear();
            return false;
        }
        BxValue& value = document.values[i];
        value.size = LoadLe<std::uint16_t>(descriptor);
        value.type = descriptor[2];
        if (value.size > in.Remaining()) {
            value.size = static_cast<std::uint32_t>(in.Remaining());
            cut = true;
        }
        value.data = in.Take(value.size);
        cut = cut || ValueDamaged(value);
    }
    document.repaired = document.repaired || cut;
    return true;
}

}  // namespace

std::shared_ptr<const BxTemplate> BxTemplateCache::Find(std::uint32_t offset) const {
    const auto it = templates_.find(offset);
    return it == templates_.end() ? nullptr : it->second;
}

void BxTemplateCache::Add(std::uint32_t offset, std::shared_ptr<const BxTemplate> shape) {
    templates_[offset] = std::move(shape);
}

std::shared_ptr<const BxTemplate> BxKnownTemplates::Find(const std::string& key) const {
    const std::lock_guard hold(lock_);
    const auto it = known_.find(key);
    return it == known_.end() ? nullptr : it->second;
}

void BxKnownTemplates::Remember(const std::string& key, std::shared_ptr<const BxTemplate> shape) {
    const std::lock_guard hold(lock_);
    if (known_.size() >= kMaxKnown && known_.find(key) == known_.end()) {
        known_.clear();
    }
    known_[key] = std::move(shape);
}

bool BxTemplateCache::Charge(std::size_t bytes) {
    if (bytes > kMaxTemplateBytesPerChunk - built_) {
        return false;
    }
    built_ += bytes;
    return true;
}

BxDocument ParseFragment(std::span<const std::uint8_t> chunk, std::uint32_t begin,
                         std::uint32_t end, BxTemplateCache& cache) {
    BxDocument document;
    ParseFragment(chunk, begin, end, cache, document);
    return document;
}

void BxDocument::Clear() {
    shape.reset();
    values.clear();
    chunk = {};
    templates = nullptr;
    repaired = false;
    nested_.clear();
}

void ParseFragment(std::span<const std::uint8_t> chunk, std::uint32_t begin, std::uint32_t end,
                   BxTemplateCache& cache, BxDocument& document) {
    document.Clear();
    if (end > chunk.size() || begin > end) {
        throw MalformedInput("fragment beyond its chunk");
    }
    ByteReader in(chunk.first(end), begin);
    if (in.Peek<std::uint8_t>() == kTokenFragmentHeader) {
        in.Skip(4);
    }
    const std::uint8_t token = in.Peek<std::uint8_t>();
    document.chunk = chunk;
    document.templates = &cache;
    if (Base(token) == kTokenOpenStart) {
        // Elements written out in full (forwarded events): a template of their own.
        TemplateParser parser(chunk, static_cast<std::uint32_t>(in.Position()), end, cache);
        document.shape = parser.ParseRoot();
        return;
    }
    if (token != kTokenTemplateInstance) {
        throw MalformedInput("fragment is neither element nor template instance", in.Position());
    }
    in.Skip(2);  // token, unknown byte
    in.Skip(4);  // template identifier
    const auto definition = in.Read<std::uint32_t>();
    const std::size_t after = in.Position();
    std::size_t values = after;
    if (definition == after) {
        // Defined here: the values follow the definition.
        ByteReader header(chunk.first(end), definition);
        header.Skip(20);
        const std::size_t size = header.Read<std::uint32_t>();
        values = header.Position() + size;
    } else if (definition > after) {
        throw MalformedInput("template defined after its use", after - 4);
    }
    // A definition in this record ends with the record, whatever its size says.
    document.shape = TemplateAt(definition == after ? chunk.first(end) : chunk, definition, cache);
    document.repaired = document.shape->cutShort;
    if (!ReadValues(chunk.first(end), values, document)) {
        // A definition whose size does not fit: its values follow what it held.
        const std::size_t parsedEnd = definition + 24 + document.shape->parsedSize;
        if (definition == after && document.shape->cutShort && parsedEnd >= end) {
            // The record ends inside its own template: the elements read so
            // far stand, and no value was written.
            document.values.clear();
            document.repaired = true;
            return;
        }
        if (definition != after || values == parsedEnd ||
            !ReadValues(chunk.first(end), parsedEnd, document)) {
            throw MalformedInput("substitution values", values);
        }
        document.repaired = true;
    }
}

BxValue BxDocument::ValueOf(const BxTarget& target) const {
    switch (target.kind) {
        case BxTarget::Kind::value:
            return target.value;
        case BxTarget::Kind::substitution:
            return target.index < values.size() ? values[target.index] : BxValue{};
        case BxTarget::Kind::nested: {
            const BxDocument* inner = Nested(target.index);
            return inner ? inner->Value(target.rest) : BxValue{};
        }
        case BxTarget::Kind::none:
        default:
            return {};
    }
}

BxValue BxDocument::Value(const std::string& path) const {
    return shape ? ValueOf(shape->Locate(path)) : BxValue{};
}

const BxDocument* BxDocument::Nested(std::uint16_t index) const {
    for (const auto& [at, document] : nested_) {
        if (at == index) {
            return document.get();
        }
    }
    if (index >= values.size() || values[index].type != kBxBinXml || templates == nullptr ||
        values[index].data < chunk.data() || values[index].data >= chunk.data() + chunk.size()) {
        return nullptr;
    }
    const auto begin = static_cast<std::uint32_t>(values[index].data - chunk.data());
    try {
        auto inner = std::make_shared<BxDocument>(
            ParseFragment(chunk, begin, begin + values[index].size, *templates));
        nested_.emplace_back(index, inner);
        return inner.get();
    } catch (const MalformedInput&) {
        nested_.emplace_back(index, nullptr);
        return nullptr;
    }
}

template <typename Visit>
void BxDocument::VisitEventData(Visit&& visit) const {
    if (!shape) {
        return;
    }
    const std::vector<std::pair<std::string, BxTarget>>& data = shape->EventData();
    // A nested fragment holds the values; without it, those before it stand.
    std::size_t count = 0;
    for (; count < data.size(); ++count) {
        if (data[count].second.kind == BxTarget::Kind::nested) {
            if (const BxDocument* inner = Nested(data[count].second.index)) {
                inner->VisitEventData(visit);
                return;
            }
            break;
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        visit(data[i].first, ValueOf(data[i].second));
    }
}

std::vector<std::pair<std::string, BxValue>> BxDocument::EventData() const {
    std::vector<std::pair<std::string, BxValue>> items;
    VisitEventData(
        [&](const std::string& name, const BxValue& value) { items.emplace_back(name, value); });
    return items;
}

void BxDocument::EventDataValues(std::vector<BxValue>& values) const {
    values.clear();
    if (const std::vector<std::uint16_t>* indexes =
            shape ? shape->EventDataSubstitutions() : nullptr) {
        values.resize(indexes->size());
        for (std::size_t i = 0; i < indexes->size(); ++i) {
            const std::uint16_t index = (*indexes)[i];
            values[i] = index < this->values.size() ? this->values[index] : BxValue{};
        }
        return;
    }
    VisitEventData([&](const std::string&, const BxValue& value) { values.push_back(value); });
}

namespace {

BxTarget TargetOf(const std::vector<BxPiece>& pieces) {
    for (const BxPiece& piece : pieces) {
        if (piece.kind == BxPiece::Kind::value) {
            return {BxTarget::Kind::value, piece.value, 0, {}};
        }
        if (piece.kind == BxPiece::Kind::substitution) {
            return {BxTarget::Kind::substitution, {}, piece.index, {}};
        }
    }
    return {};
}

// The first substitution of an element that holds a nested fragment.
const BxPiece* NestedFragment(const BxElement& element) {
    for (const BxPiece& piece : element.content) {
        if (piece.kind == BxPiece::Kind::substitution && piece.type == kBxBinXml) {
            return &piece;
        }
    }
    return nullptr;
}

const BxElement* Child(const BxTemplate& shape, const BxElement& parent, std::string_view name) {
    for (const BxPiece& piece : parent.content) {
        if (piece.kind == BxPiece::Kind::element && shape.elements[piece.index].name == name) {
            return &shape.elements[piece.index];
        }
    }
    return nullptr;
}

}  // namespace

BxTarget BxTemplate::Resolve(std::string_view path) const {
    if (elements.empty()) {
        return {};
    }
    const BxElement* at = nullptr;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view step = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (step.starts_with('@')) {
            if (at == nullptr || !path.empty()) {
                return {};
            }
            for (const BxAttribute& attribute : at->attributes) {
                if (attribute.name == step.substr(1)) {
                    return TargetOf(attribute.pieces);
                }
            }
            return {};
        }
        if (at == nullptr) {
            at = elements[0].name == step ? &elements[0] : nullptr;
        } else if (const BxElement* child = Child(*this, *at, step)) {
            at = child;
        } else if (const BxPiece* nested = NestedFragment(*at)) {
            // The rest of the path, this step included, lies in the fragment.
            std::string rest(step);
            if (!path.empty()) {
                rest += "/" + std::string(path);
            }
            return {BxTarget::Kind::nested, {}, nested->index, std::move(rest)};
        } else {
            at = nullptr;
        }
        if (at == nullptr) {
            return {};
        }
    }
    return at ? TargetOf(at->content) : BxTarget{};
}

const BxTarget& BxTemplate::Locate(const std::string& path) const {
    auto it = located_.find(path);
    if (it == located_.end()) {
        it = located_.emplace(path, Resolve(path)).first;
    }
    return it->second;
}

const std::vector<BxTarget>& BxTemplate::Locate(std::uint64_t listId,
                                                const std::vector<std::string>& paths) const {
    for (const auto& [id, targets] : lists_) {
        if (id == listId) {
            return targets;
        }
    }
    std::vector<BxTarget> targets;
    targets.reserve(paths.size());
    for (const std::string& path : paths) {
        targets.push_back(Resolve(path));
    }
    lists_.emplace_back(listId, std::move(targets));
    return lists_.back().second;
}

const std::vector<std::uint16_t>* BxTemplate::EventDataSubstitutions() const {
    if (!substitutions_) {
        // Left empty where a target is something else: those are walked each time.
        substitutions_.emplace();
        for (const auto& [name, target] : EventData()) {
            if (target.kind != BxTarget::Kind::substitution) {
                substitutions_->clear();
                break;
            }
            substitutions_->push_back(target.index);
        }
    }
    return substitutions_->empty() ? nullptr : &*substitutions_;
}

const std::vector<std::pair<std::string, BxTarget>>& BxTemplate::EventData() const {
    if (eventData_) {
        return *eventData_;
    }
    eventData_ = std::make_unique<std::vector<std::pair<std::string, BxTarget>>>();
    if (elements.empty()) {
        return *eventData_;
    }
    // The container of the values: EventData, UserData's only child, or the
    // root itself when this is a fragment nested in one of them.
    const BxElement& root = elements[0];
    const BxElement* container = nullptr;
    if (root.name != "Event") {
        container = &root;
    } else if (const BxElement* data = Child(*this, root, "EventData")) {
        container = data;
    } else if (const BxElement* user = Child(*this, root, "UserData")) {
        for (const BxPiece& piece : user->content) {
            if (piece.kind == BxPiece::Kind::element) {
                container = &elements[piece.index];
                break;
            }
        }
        if (container == nullptr) {
            container = user;
        }
    }
    if (container == nullptr) {
        if (const BxPiece* nested = NestedFragment(root)) {
            eventData_->emplace_back(std::string(),
                                     BxTarget{BxTarget::Kind::nested, {}, nested->index, {}});
        }
        return *eventData_;
    }
    if (container != &root && NestedFragment(*container) && container->content.size() == 1) {
        eventData_->emplace_back(
            std::string(),
            BxTarget{BxTarget::Kind::nested, {}, NestedFragment(*container)->index, {}});
        return *eventData_;
    }
    for (const BxPiece& piece : container->content) {
        if (piece.kind != BxPiece::Kind::element) {
            continue;
        }
        const BxElement& item = elements[piece.index];
        // A Data item without a Name attribute is unnamed (UserData's items
        // are named by their elements).
        std::string name = item.name == "Data" ? std::string() : item.name;
        for (const BxAttribute& attribute : item.attributes) {
            if (attribute.name == "Name") {
                const BxTarget target = TargetOf(attribute.pieces);
                if (target.kind == BxTarget::Kind::value) {
                    name = Utf16Text(target.value.data, target.value.size / 2);
                }
            }
        }
        eventData_->emplace_back(std::move(name), TargetOf(item.content));
    }
    return *eventData_;
}

}  // namespace vzrm::formats
