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

}  // namespace
}  // namespace vzrm::formats
