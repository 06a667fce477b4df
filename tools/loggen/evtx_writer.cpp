#include "tools/loggen/evtx_writer.h"

#include <cstring>
#include <optional>
#include <stdexcept>

#include "base/wide_text.h"
#include "formats/binxml_value_text.h"
#include "formats/crc32.h"
#include "tools/loggen/bytes.h"

namespace vzrm::loggen {
namespace {

using formats::Crc32;

constexpr std::uint32_t kChunkSize = 0x10000;
constexpr std::uint32_t kChunkHeaderSize = 0x200;

enum Type : std::uint8_t {
    kString = 0x01,
    kUInt8 = 0x04,
    kUInt16 = 0x06,
    kUInt32 = 0x08,
    kUInt64 = 0x0A,
    kGuid = 0x0F,
    kSizeT = 0x10,
    kFileTime = 0x11,
    kSid = 0x13,
    kHex32 = 0x14,
    kHex64 = 0x15,
};

const std::uint8_t kProviderGuid[16] = {0x25, 0x96, 0x84, 0x54, 0x78, 0x54, 0x94, 0x49,
                                        0xA5, 0xBA, 0x3E, 0x3B, 0x03, 0x28, 0xC3, 0x0D};

// One substitution value, already in its binary form.
struct Value {
    std::uint8_t type;
    std::vector<std::uint8_t> bytes;
};

template <typename T>
Value Number(std::uint8_t type, T value) {
    Value v{type, {}};
    PutLe(v.bytes, value);
    return v;
}

// A handle or process ID: HexInt64, or SizeT of the event's pointer width.
Value Pointer(const ScenarioEvent& e, std::uint64_t value) {
    if (e.pointer == 4) {
        return Number(kSizeT, static_cast<std::uint32_t>(value));
    }
    return Number(e.pointer == 8 ? kSizeT : kHex64, value);
}

Value Text(const std::string& text) {
    Value v{kString, {}};
    PutUtf16(v.bytes, text);
    return v;
}

Value Sid(const std::string& text) {
    Value v{kSid, {}};
    if (!formats::SidFromText(text, v.bytes)) {
        throw std::runtime_error("sid must look like S-1-5-21-...");
    }
    return v;
}

// The EventData of each kind of event, with the names and order Windows uses.
struct DataField {
    const char* name;
    Value (*make)(const ScenarioEvent&);
};

Value SubjectSid(const ScenarioEvent& e) {
    return Sid(e.sid);
}
Value SubjectName(const ScenarioEvent& e) {
    return Text(e.user);
}
Value SubjectDomain(const ScenarioEvent& e) {
    return Text(e.domain);
}
Value SubjectLogon(const ScenarioEvent& e) {
    return Number(kHex64, e.logon);
}
Value Server(const ScenarioEvent& e) {
    return Text(e.server);
}
Value ObjectType(const ScenarioEvent& e) {
    return Text(e.type);
}
Value ObjectName(const ScenarioEvent& e) {
    return Text(e.object);
}
Value Handle(const ScenarioEvent& e) {
    return Pointer(e, e.id == 4656 && !e.success ? 0 : e.handle);
}
Value Transaction(const ScenarioEvent&) {
    return Value{kGuid, std::vector<std::uint8_t>(16, 0)};
}
Value AccessList(const ScenarioEvent& e) {
    return Text(AccessCodes(e.mask, "\r\n\t\t\t\t") + "\r\n\t\t\t\t");
}
Value Dash(const ScenarioEvent&) {
    return Text("-");
}
Value Mask(const ScenarioEvent& e) {
    return Number(kHex32, e.mask);
}
Value Zero(const ScenarioEvent&) {
    return Number(kUInt32, std::uint32_t{0});
}
Value Pid(const ScenarioEvent& e) {
    return Pointer(e, e.pid);
}
Value Process(const ScenarioEvent& e) {
    return Text(e.process);
}

const std::vector<DataField>& FieldsOf(int kind) {
    static const std::vector<DataField> k4656 = {{"SubjectUserSid", SubjectSid},
                                                 {"SubjectUserName", SubjectName},
                                                 {"SubjectDomainName", SubjectDomain},
                                                 {"SubjectLogonId", SubjectLogon},
                                                 {"ObjectServer", Server},
                                                 {"ObjectType", ObjectType},
                                                 {"ObjectName", ObjectName},
                                                 {"HandleId", Handle},
                                                 {"TransactionId", Transaction},
                                                 {"AccessList", AccessList},
                                                 {"AccessReason", Dash},
                                                 {"AccessMask", Mask},
                                                 {"PrivilegeList", Dash},
                                                 {"RestrictedSidCount", Zero},
                                                 {"ProcessId", Pid},
                                                 {"ProcessName", Process},
                                                 {"ResourceAttributes", Dash}};
    static const std::vector<DataField> k4663 = {{"SubjectUserSid", SubjectSid},
                                                 {"SubjectUserName", SubjectName},
                                                 {"SubjectDomainName", SubjectDomain},
                                                 {"SubjectLogonId", SubjectLogon},
                                                 {"ObjectServer", Server},
                                                 {"ObjectType", ObjectType},
                                                 {"ObjectName", ObjectName},
                                                 {"HandleId", Handle},
                                                 {"AccessList", AccessList},
                                                 {"AccessMask", Mask},
                                                 {"ProcessId", Pid},
                                                 {"ProcessName", Process},
                                                 {"ResourceAttributes", Dash}};
    static const std::vector<DataField> k4658 = {{"SubjectUserSid", SubjectSid},
                                                 {"SubjectUserName", SubjectName},
                                                 {"SubjectDomainName", SubjectDomain},
                                                 {"SubjectLogonId", SubjectLogon},
                                                 {"ObjectServer", Server},
                                                 {"HandleId", Handle},
                                                 {"ProcessId", Pid},
                                                 {"ProcessName", Process}};
    static const std::vector<DataField> k4660 = {{"SubjectUserSid", SubjectSid},
                                                 {"SubjectUserName", SubjectName},
                                                 {"SubjectDomainName", SubjectDomain},
                                                 {"SubjectLogonId", SubjectLogon},
                                                 {"ObjectServer", Server},
                                                 {"HandleId", Handle},
                                                 {"ProcessId", Pid},
                                                 {"ProcessName", Process},
                                                 {"TransactionId", Transaction}};
    static const std::vector<DataField> kOther = {{"SubjectUserSid", SubjectSid},
                                                  {"SubjectUserName", SubjectName},
                                                  {"SubjectDomainName", SubjectDomain},
                                                  {"SubjectLogonId", SubjectLogon},
                                                  {"ObjectName", ObjectName},
                                                  {"ProcessId", Pid},
                                                  {"ProcessName", Process}};
    switch (kind) {
        case 4656:
            return k4656;
        case 4663:
            return k4663;
        case 4658:
            return k4658;
        case 4660:
            return k4660;
        default:
            return kOther;
    }
}

int KindOf(std::uint32_t id) {
    return id == 4656 || id == 4658 || id == 4660 || id == 4663 ? static_cast<int>(id) : 0;
}

// The template's shape: a value is static text or a substitution slot.
struct TValue {
    std::optional<std::string> text;
    std::uint16_t index = 0;
    std::uint8_t type = 0;
};
struct TNode {
    std::string name;
    std::vector<std::pair<std::string, TValue>> attributes;
    std::optional<TValue> content;
    std::vector<TNode> children;
};

TValue Slot(std::uint16_t index, std::uint8_t type) {
    return {std::nullopt, index, type};
}

constexpr std::uint16_t kSystemSlots = 14;

// Events of one kind with another pointer width need a template of their own.
int TemplateKey(int kind, std::uint8_t pointer) {
    return kind * 16 + pointer;
}

TNode TemplateOf(int kind, std::uint8_t pointer) {
    TNode system{"System", {}, std::nullopt, {}};
    system.children = {
        {"Provider", {{"Name", Slot(0, kString)}, {"Guid", Slot(1, kGuid)}}, std::nullopt, {}},
        {"EventID", {}, Slot(2, kUInt16), {}},
        {"Version", {}, Slot(3, kUInt8), {}},
        {"Level", {}, Slot(4, kUInt8), {}},
        {"Task", {}, Slot(5, kUInt16), {}},
        {"Opcode", {}, Slot(6, kUInt8), {}},
        {"Keywords", {}, Slot(7, kHex64), {}},
        {"TimeCreated", {{"SystemTime", Slot(8, kFileTime)}}, std::nullopt, {}},
        {"EventRecordID", {}, Slot(9, kUInt64), {}},
        {"Correlation", {}, std::nullopt, {}},
        {"Execution",
         {{"ProcessID", Slot(10, kUInt32)}, {"ThreadID", Slot(11, kUInt32)}},
         std::nullopt,
         {}},
        {"Channel", {}, Slot(12, kString), {}},
        {"Computer", {}, Slot(13, kString), {}},
        {"Security", {}, std::nullopt, {}}};
    TNode data{"EventData", {}, std::nullopt, {}};
    std::uint16_t slot = kSystemSlots;
    for (const DataField& field : FieldsOf(kind)) {
        // The slot's declared type is the value's: computed from a default event.
        ScenarioEvent typical;
        typical.pointer = pointer;
        const std::uint8_t type = field.make(typical).type;
        data.children.push_back(
            {"Data", {{"Name", TValue{field.name, 0, 0}}}, Slot(slot++, type), {}});
    }
    TNode event{"Event",
                {{"xmlns", TValue{"http://schemas.microsoft.com/win/2004/08/events/event", 0, 0}}},
                std::nullopt,
                {system, data}};
    return event;
}

// Builds binary XML at a known chunk offset, so names can be defined in place.
class Emitter {
  public:
    Emitter(std::vector<std::uint8_t>& out, std::uint32_t base) : out_(out), base_(base) {}

    std::uint32_t ChunkOffset() const { return base_ + static_cast<std::uint32_t>(out_.size()); }

    void Name(const std::string& name) {
        const std::u16string wide = NarrowToWide(name);
        std::uint16_t hash = 0;
        for (char16_t c : wide) {
            hash = static_cast<std::uint16_t>(hash * 65599u + c);
        }
        PutLe(out_, ChunkOffset() + 4);  // the name follows here
        PutLe(out_, std::uint32_t{0});
        PutLe(out_, hash);
        PutLe(out_, static_cast<std::uint16_t>(wide.size()));
        for (char16_t c : wide) {
            PutLe(out_, static_cast<std::uint16_t>(c));
        }
        PutLe(out_, std::uint16_t{0});
    }

    void Piece(const TValue& value) {
        if (value.text) {
            const std::u16string wide = NarrowToWide(*value.text);
            out_.push_back(0x05);
            out_.push_back(kString);
            PutLe(out_, static_cast<std::uint16_t>(wide.size()));
            for (char16_t c : wide) {
                PutLe(out_, static_cast<std::uint16_t>(c));
            }
        } else {
            out_.push_back(0x0E);  // optional substitution
            PutLe(out_, value.index);
            out_.push_back(value.type);
        }
    }

    void Element(const TNode& node) {
        out_.push_back(node.attributes.empty() ? 0x01 : 0x41);
        PutLe(out_, std::uint16_t{0xFFFF});  // dependency identifier: none
        const std::size_t sizeAt = out_.size();
        PutLe(out_, std::uint32_t{0});
        Name(node.name);
        if (!node.attributes.empty()) {
            const std::size_t listAt = out_.size();
            PutLe(out_, std::uint32_t{0});
            for (std::size_t i = 0; i < node.attributes.size(); ++i) {
                out_.push_back(i + 1 < node.attributes.size() ? 0x46 : 0x06);
                Name(node.attributes[i].first);
                Piece(node.attributes[i].second);
            }
            PatchLe(out_, listAt, static_cast<std::uint32_t>(out_.size() - listAt - 4));
        }
        if (!node.content && node.children.empty()) {
            out_.push_back(0x03);
        } else {
            out_.push_back(0x02);
            if (node.content) {
                Piece(*node.content);
            }
            for (const TNode& child : node.children) {
                Element(child);
            }
            out_.push_back(0x04);
        }
        PatchLe(out_, sizeAt, static_cast<std::uint32_t>(out_.size() - sizeAt - 4));
    }

  private:
    std::vector<std::uint8_t>& out_;
    std::uint32_t base_;
};

std::vector<Value> ValuesOf(const ScenarioEvent& e, int kind) {
    const std::uint16_t task = e.task ? e.task : kind != 0 ? 12800 : 12544;
    std::vector<Value> values = {
        Text(e.provider),
        Value{kGuid, std::vector<std::uint8_t>(kProviderGuid, kProviderGuid + 16)},
        Number(kUInt16, static_cast<std::uint16_t>(e.id)),
        Number(kUInt8, static_cast<std::uint8_t>(kind == 4656 || kind == 4663 ? 1 : 0)),
        Number(kUInt8, std::uint8_t{0}),
        Number(kUInt16, task),
        Number(kUInt8, std::uint8_t{0}),
        Number(kHex64, e.success ? 0x8020000000000000ull : 0x8010000000000000ull),
        Number(kFileTime, e.fileTime),
        Number(kUInt64, e.record),
        Number(kUInt32, std::uint32_t{4}),
        Number(kUInt32, static_cast<std::uint32_t>(100 + e.record % 900)),
        Text("Security"),
        Text(e.computer)};
    for (const DataField& field : FieldsOf(kind)) {
        values.push_back(field.make(e));
    }
    return values;
}

}  // namespace

EvtxWriter::EvtxWriter(const std::string& path) : path_(path) {
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        throw std::runtime_error("cannot create " + path);
    }
    std::vector<std::uint8_t> header(0x1000, 0);  // rewritten by Finish
    if (std::fwrite(header.data(), 1, header.size(), file_) != header.size()) {
        throw std::runtime_error("cannot write " + path);
    }
    chunk_.assign(kChunkSize, 0);
    free_ = kChunkHeaderSize;
}

EvtxWriter::~EvtxWriter() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool EvtxWriter::TryAppend(const ScenarioEvent& e) {
    const int kind = KindOf(e.id);
    std::vector<std::uint8_t> r;
    Emitter emit(r, free_);
    PutBytes(r, {0x2A, 0x2A, 0x00, 0x00});
    PutLe(r, std::uint32_t{0});  // size, patched below
    PutLe(r, e.record);
    PutLe(r, e.fileTime);
    PutBytes(r, {0x0F, 0x01, 0x01, 0x00});
    r.push_back(0x0C);
    r.push_back(0x01);
    const int key = TemplateKey(kind, e.pointer);
    const std::uint32_t templateId =
        0x56A00000u + static_cast<std::uint32_t>(kind) + (std::uint32_t{e.pointer} << 16);
    PutLe(r, templateId);
    const auto known = templates_.find(key);
    const std::uint32_t definition =
        known != templates_.end() ? known->second : emit.ChunkOffset() + 4;
    PutLe(r, definition);
    if (known == templates_.end()) {
        PutLe(r, std::uint32_t{0});  // next template
        PutLe(r, templateId);
        for (int i = 0; i < 12; ++i) {
            r.push_back(static_cast<std::uint8_t>(0x11 * (i + 1)));
        }
        const std::size_t sizeAt = r.size();
        PutLe(r, std::uint32_t{0});
        PutBytes(r, {0x0F, 0x01, 0x01, 0x00});
        emit.Element(TemplateOf(kind, e.pointer));
        r.push_back(0x00);  // end of stream
        PatchLe(r, sizeAt, static_cast<std::uint32_t>(r.size() - sizeAt - 4));
    }
    const std::vector<Value> values = ValuesOf(e, kind);
    PutLe(r, static_cast<std::uint32_t>(values.size()));
    for (const Value& v : values) {
        PutLe(r, static_cast<std::uint16_t>(v.bytes.size()));
        r.push_back(v.type);
        r.push_back(0);
    }
    for (const Value& v : values) {
        for (std::uint8_t b : v.bytes) {
            r.push_back(b);
        }
    }
    r.push_back(0x00);  // end of the record's fragment
    while ((r.size() + 4) % 8 != 0) {
        r.push_back(0);
    }
    PutLe(r, static_cast<std::uint32_t>(r.size() + 4));
    PatchLe(r, 4, static_cast<std::uint32_t>(r.size()));
    if (free_ + r.size() > kChunkSize) {
        if (recordsInChunk_ == 0) {
            throw std::runtime_error("event too large for one chunk");
        }
        return false;
    }
    if (known == templates_.end()) {
        templates_[key] = definition;
    }
    std::memcpy(chunk_.data() + free_, r.data(), r.size());
    if (recordsInChunk_++ == 0) {
        firstRecord_ = e.record;
    }
    lastRecord_ = e.record;
    highestRecord_ = std::max(highestRecord_, e.record);
    lastRecordOffset_ = free_;
    free_ += static_cast<std::uint32_t>(r.size());
    return true;
}

void EvtxWriter::Add(const ScenarioEvent& event) {
    if (!TryAppend(event)) {
        FlushChunk();
        TryAppend(event);
    }
}

void EvtxWriter::FlushChunk() {
    if (recordsInChunk_ == 0) {
        return;
    }
    std::uint8_t* c = chunk_.data();
    std::memcpy(c, "ElfChnk", 8);
    auto put64 = [&](std::size_t at, std::uint64_t v) { std::memcpy(c + at, &v, 8); };
    auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(c + at, &v, 4); };
    put64(0x08, firstRecord_);
    put64(0x10, lastRecord_);
    put64(0x18, firstRecord_);
    put64(0x20, lastRecord_);
    put32(0x28, 0x80);
    put32(0x2C, lastRecordOffset_);
    put32(0x30, free_);
    put32(0x34, Crc32(c + kChunkHeaderSize, free_ - kChunkHeaderSize));
    std::uint32_t crc = Crc32(c, 0x78);
    crc = Crc32(c + 0x80, kChunkHeaderSize - 0x80, crc);
    put32(0x7C, crc);
    if (std::fwrite(c, 1, kChunkSize, file_) != kChunkSize) {
        throw std::runtime_error("cannot write " + path_);
    }
    ++chunks_;
    chunk_.assign(kChunkSize, 0);
    free_ = kChunkHeaderSize;
    recordsInChunk_ = 0;
    templates_.clear();
}

void EvtxWriter::Finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    FlushChunk();
    std::uint8_t h[0x80] = {};
    std::memcpy(h, "ElfFile", 8);
    auto put64 = [&](std::size_t at, std::uint64_t v) { std::memcpy(h + at, &v, 8); };
    auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(h + at, &v, 4); };
    auto put16 = [&](std::size_t at, std::uint16_t v) { std::memcpy(h + at, &v, 2); };
    put64(0x08, 0);
    put64(0x10, chunks_ == 0 ? 0 : chunks_ - 1);
    put64(0x18, highestRecord_ + 1);
    put32(0x20, 0x80);
    put16(0x24, 1);
    put16(0x26, 3);
    put16(0x28, 0x1000);
    // The count is 16 bits wide; readers must not rely on it for larger logs.
    put16(0x2A, static_cast<std::uint16_t>(chunks_ > 0xFFFF ? 0xFFFF : chunks_));
    put32(0x7C, Crc32(h, 0x78));
    if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(h, 1, sizeof h, file_) != sizeof h ||
        std::fclose(file_) != 0) {
        file_ = nullptr;
        throw std::runtime_error("cannot write " + path_);
    }
    file_ = nullptr;
}

}  // namespace vzrm::loggen
