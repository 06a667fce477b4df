// Templates known again in later chunks: a definition is taken for one parsed
// before only when it would parse to the same template, and a template taken
// so never points into the chunk it was first read from.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/wide_text.h"
#include "formats/binxml.h"

namespace vzrm::formats {
namespace {

constexpr std::uint32_t kOutsideName = 0x10;

class ChunkWriter {
  public:
    ChunkWriter() : bytes_(0x10000, 0) {}

    // A name in the chunk's table of names at `at`; `link` stands for the
    // table's chain, which differs from chunk to chunk.
    std::size_t Name(std::size_t at, const std::string& name, std::uint32_t link) {
        Put32(at, link);
        Put16(at + 4, static_cast<std::uint16_t>(name.size() * 7));  // a hash
        Put16(at + 6, static_cast<std::uint16_t>(name.size()));
        for (std::size_t i = 0; i < name.size(); ++i) {
            Put16(at + 8 + 2 * i, static_cast<unsigned char>(name[i]));
        }
        return at + 8 + 2 * name.size() + 2;
    }

    // A record at `at` that defines its template in place: an element named
    // `name` (here, or at kOutsideName when empty) holding the text `text`.
    // Returns the end of the record's values.
    std::size_t Record(std::size_t at, const std::string& name, const std::string& text,
                       std::uint32_t link) {
        bytes_[at] = 0x0C;
        bytes_[at + 1] = 0x01;
        Put32(at + 2, 7);  // template identifier
        const std::size_t definition = at + 10;
        Put32(at + 6, static_cast<std::uint32_t>(definition));
        for (std::size_t i = 0; i < 16; ++i) {
            bytes_[definition + 4 + i] = static_cast<std::uint8_t>(0xA0 + i);  // the GUID
        }
        const std::size_t body = definition + 24;
        std::size_t p = body;
        bytes_[p++] = 0x01;  // an element without attributes
        p += 2;              // dependency identifier
        Put32(p, 0x40);      // its size
        p += 4;
        if (name.empty()) {
            Put32(p, kOutsideName);
            p += 4;
        } else {
            Put32(p, static_cast<std::uint32_t>(p + 4));
            p = Name(p + 4, name, link);
        }
        bytes_[p++] = 0x02;  // its content
        bytes_[p++] = 0x05;  // a text value
        bytes_[p++] = 0x01;
        Put16(p, static_cast<std::uint16_t>(text.size()));
        p += 2;
        for (const char c : text) {
            Put16(p, static_cast<unsigned char>(c));
            p += 2;
        }
        bytes_[p++] = 0x04;  // end of the element
        bytes_[p++] = 0x00;  // end of the fragment
        Put32(definition + 20, static_cast<std::uint32_t>(p - body));
        Put32(p, 0);  // no values
        return p + 4;
    }

    std::vector<std::uint8_t>& Bytes() { return bytes_; }

  private:
    void Put16(std::size_t at, std::uint16_t v) { std::memcpy(&bytes_[at], &v, 2); }
    void Put32(std::size_t at, std::uint32_t v) { std::memcpy(&bytes_[at], &v, 4); }

    std::vector<std::uint8_t> bytes_;
};

std::string TextOf(const BxValue& value) {
    std::string text;
    AppendNarrowOfUtf16Le(value.data, value.size / 2, text);
    return text;
}

// One chunk read with the templates of the chunks before it.
struct ReadChunk {
    ChunkWriter chunk;
    BxTemplateCache cache;
    BxDocument document;

    ReadChunk(std::shared_ptr<BxKnownTemplates> known, std::size_t at, const std::string& name,
              const std::string& text, const std::string& outsideName = "Event",
              std::uint32_t link = 0) {
        chunk.Name(kOutsideName, outsideName, link);
        const std::size_t end = chunk.Record(at, name, text, link);
        cache.ShareKnown(std::move(known));
        document = ParseFragment(chunk.Bytes(), static_cast<std::uint32_t>(at),
                                 static_cast<std::uint32_t>(end), cache);
    }
};

TEST(BinXmlTemplates, TheSameDefinitionElsewhereInAnotherChunkIsKnownAgain) {
    auto known = std::make_shared<BxKnownTemplates>();
    auto first = std::make_unique<ReadChunk>(known, 0x200, "Event", "recorder", "Event", 0x1111);
    ReadChunk second(known, 0x340, "Event", "recorder", "Event", 0x2222);
    EXPECT_EQ(second.document.shape, first->document.shape);
    // The first chunk's bytes go: the template's text was its own.
    first.reset();
    EXPECT_EQ(TextOf(second.document.Value("Event")), "recorder");
    EXPECT_EQ(second.document.shape->elements[0].name, "Event");
}

TEST(BinXmlTemplates, ADefinitionThatDiffersIsParsedAgain) {
    auto known = std::make_shared<BxKnownTemplates>();
    ReadChunk first(known, 0x200, "Event", "recorder");

    // The same GUID and size, one character of the static text changed.
    ReadChunk text(known, 0x200, "Event", "recordes");
    EXPECT_NE(text.document.shape, first.document.shape);
    EXPECT_EQ(TextOf(text.document.Value("Event")), "recordes");

    // An element name of the same length, defined in place.
    ReadChunk name(known, 0x200, "Evens", "recorder");
    EXPECT_EQ(TextOf(name.document.Value("Evens")), "recorder");
    EXPECT_EQ(name.document.Value("Event").data, nullptr);
}

TEST(BinXmlTemplates, ANameBeforeTheDefinitionMustBeTheSameName) {
    auto known = std::make_shared<BxKnownTemplates>();
    ReadChunk first(known, 0x200, "", "recorder", "Event");
    EXPECT_EQ(TextOf(first.document.Value("Event")), "recorder");

    ReadChunk same(known, 0x300, "", "recorder", "Event", 0x4444);
    EXPECT_EQ(same.document.shape, first.document.shape);

    // The same definition's bytes, but the name it names is another.
    ReadChunk other(known, 0x200, "", "recorder", "Ovent");
    EXPECT_NE(other.document.shape, first.document.shape);
    EXPECT_EQ(other.document.shape->elements[0].name, "Ovent");
    EXPECT_EQ(TextOf(other.document.Value("Ovent")), "recorder");
}

// Raw definitions for the cases the writer above does not make.
struct RawChunk {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(0x10000, 0);
    void Put16(std::size_t at, std::uint16_t v) { std::memcpy(&bytes[at], &v, 2); }
    void Put32(std::size_t at, std::uint32_t v) { std::memcpy(&bytes[at], &v, 4); }

    // A record at `at` defining its template in place; returns where the
    // definition's elements begin.
    std::size_t Instance(std::size_t at, std::uint8_t guid) {
        bytes[at] = 0x0C;
        bytes[at + 1] = 0x01;
        Put32(at + 2, 7);
        Put32(at + 6, static_cast<std::uint32_t>(at + 10));
        for (std::size_t i = 0; i < 16; ++i) {
            bytes[at + 14 + i] = static_cast<std::uint8_t>(guid + i);
        }
        return at + 34;
    }
    // Ends the definition begun at `body` at `p`; returns the record's end.
    std::size_t End(std::size_t body, std::size_t p) {
        bytes[p++] = 0x00;
        Put32(body - 4, static_cast<std::uint32_t>(p - body));
        Put32(p, 0);  // no values
        return p + 4;
    }
};

// A root "A" defined in place, whose child names the offset six bytes before
// the root name's link: the child's name length is read from the link.
std::size_t NameOverTheLink(RawChunk& c, std::size_t at, std::uint32_t link) {
    const std::size_t body = c.Instance(at, 0xA0);
    std::size_t p = body;
    c.bytes[p++] = 0x01;
    p += 2;
    c.Put32(p, 0x40);
    p += 4;
    const std::size_t name = p + 4;
    c.Put32(p, static_cast<std::uint32_t>(name));
    c.Put32(name, link);
    c.Put16(name + 4, 0x1234);
    c.Put16(name + 6, 1);
    c.Put16(name + 8, 'A');
    p = name + 12;
    c.bytes[p++] = 0x02;
    c.bytes[p++] = 0x01;  // the child
    p += 2;
    c.Put32(p, 0x20);
    p += 4;
    c.Put32(p, static_cast<std::uint32_t>(name - 6));
    p += 4;
    c.bytes[p++] = 0x03;
    c.bytes[p++] = 0x04;
    return c.End(body, p);
}

// An element header without dependency identifier, naming the name at
// `nameAt` before the definition: the offset's value decides how the header
// is read.
std::size_t HeaderToldByItsNameOffset(RawChunk& c, std::size_t at, std::uint32_t nameAt) {
    c.Put16(nameAt + 6, 1);
    c.Put16(nameAt + 8, 'Z');
    const std::size_t body = c.Instance(at, 0xB0);
    std::size_t p = body;
    c.bytes[p++] = 0x41;
    c.Put32(p, 0x40);
    p += 4;
    c.Put32(p, nameAt);
    p += 4;
    c.Put32(p, 0x00010000);  // the attribute list's size
    p += 4;
    c.bytes[p++] = 0x03;
    return c.End(body, p);
}

TEST(BinXmlTemplates, ADefinitionThatReadsDifferentlyWhereTheComparisonSkipsIsParsedAgain) {
    struct Case {
        const char* what;
        std::size_t (*make)(RawChunk&, std::size_t, std::uint32_t);
        std::uint32_t first;
        std::uint32_t second;
    };
    for (const Case& each :
         {Case{"a name read over a link", NameOverTheLink, 1, 2},
          Case{"a header told by its name offset", HeaderToldByItsNameOffset, 0x10, 0}}) {
        auto known = std::make_shared<BxKnownTemplates>();
        RawChunk a, b;
        const std::size_t endA = each.make(a, 0x200, each.first);
        const std::size_t endB = each.make(b, 0x300, each.second);
        BxTemplateCache cacheA, cacheB, alone;
        cacheA.ShareKnown(known);
        cacheB.ShareKnown(known);
        ParseFragment(a.bytes, 0x200, static_cast<std::uint32_t>(endA), cacheA);
        const BxDocument read =
            ParseFragment(b.bytes, 0x300, static_cast<std::uint32_t>(endB), cacheB);
        const BxDocument fresh =
            ParseFragment(b.bytes, 0x300, static_cast<std::uint32_t>(endB), alone);
        ASSERT_EQ(read.shape->elements.size(), fresh.shape->elements.size()) << each.what;
        for (std::size_t i = 0; i < fresh.shape->elements.size(); ++i) {
            EXPECT_EQ(read.shape->elements[i].name, fresh.shape->elements[i].name) << each.what;
        }
        EXPECT_EQ(read.shape->cutShort, fresh.shape->cutShort) << each.what;
        EXPECT_EQ(read.repaired, fresh.repaired) << each.what;
    }
}

}  // namespace
}  // namespace vzrm::formats
