#include "entry_points.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "formats/binxml_value_text.h"
#include "formats/byte_reader.h"
#include "formats/evt_file.h"
#include "formats/evtx_reader.h"
#include "formats/format_message.h"
#include "formats/message_fields.h"
#include "formats/message_table.h"
#include "formats/reg_file.h"
#include "formats/security_descriptor.h"
#include "platform/posix/eventlog/file_classic_log.h"
#include "platform/posix/posix_services.h"
#include "report/folder_verdict.h"
#include "report/report_seal.h"
#include "report/seal_verify.h"
#include "settings/option_registry.h"

namespace vzrm::fuzz {

using namespace vzrm::formats;
using namespace vzrm::platform;
using namespace vzrm::platform::posix;

namespace {

// The fuzz targets and the regression test have no start-up of their own.
const bool g_servicesSet = [] {
    SetDefaultServices(DefaultServices());
    return true;
}();

bool SamePieces(const std::vector<BxPiece>& a, const std::vector<BxPiece>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.kind == y.kind && x.index == y.index && x.type == y.type &&
               x.optional == y.optional && x.value.type == y.value.type &&
               x.value.size == y.value.size &&
               (x.value.size == 0 ||
                std::equal(x.value.data, x.value.data + x.value.size, y.value.data));
    });
}

bool SameShape(const BxTemplate& a, const BxTemplate& b) {
    return a.cutShort == b.cutShort && a.parsedSize == b.parsedSize &&
           std::equal(a.elements.begin(), a.elements.end(), b.elements.begin(), b.elements.end(),
                      [](const BxElement& x, const BxElement& y) {
                          return x.name == y.name && SamePieces(x.content, y.content) &&
                                 std::equal(
                                     x.attributes.begin(), x.attributes.end(), y.attributes.begin(),
                                     y.attributes.end(), [](const auto& m, const auto& n) {
                                         return m.name == n.name && SamePieces(m.pieces, n.pieces);
                                     });
                      });
}

// A template taken from an earlier chunk must be the one the chunk's own
// definition gives.
void CheckAgainstFreshParse(const EvtxEvent& event) {
    const auto begin = event.record.offset + static_cast<std::uint32_t>(kEvtxRecordHeaderSize);
    const auto end = event.record.offset + event.record.size - 4;
    BxTemplateCache fresh;
    BxDocument alone;
    try {
        alone = ParseFragment(event.chunk->bytes, begin, end, fresh);
    } catch (const MalformedInput&) {
        std::abort();  // the reader read it
    }
    const BxDocument& read = event.document;
    const auto sameValue = [](const BxValue& x, const BxValue& y) {
        return x.type == y.type && x.size == y.size && x.data == y.data;
    };
    const bool sameValues = std::equal(alone.values.begin(), alone.values.end(),
                                       read.values.begin(), read.values.end(), sameValue);
    // EventData in a nested fragment comes with a template of its own.
    const auto data = read.EventData();
    const auto dataAlone = alone.EventData();
    const bool sameData = std::equal(data.begin(), data.end(), dataAlone.begin(), dataAlone.end(),
                                     [&](const auto& x, const auto& y) {
                                         return x.first == y.first && sameValue(x.second, y.second);
                                     });
    // The values alone, taken by their substitution indexes where they can be.
    std::vector<BxValue> values;
    read.EventDataValues(values);
    const bool sameDataValues =
        std::equal(values.begin(), values.end(), data.begin(), data.end(),
                   [&](const BxValue& x, const auto& y) { return sameValue(x, y.second); });
    if (!alone.shape != !read.shape || (alone.shape && !SameShape(*alone.shape, *read.shape)) ||
        !sameValues || !sameData || !sameDataValues || alone.repaired != read.repaired) {
        std::abort();
    }
}

}  // namespace

void ReadEvtx(std::span<const std::uint8_t> data) {
    auto file = std::make_shared<EvtxFile>();
    if (file->Attach(data) != 0) {
        return;
    }
    EvtxReader reader(file);
    // One event read into again and again, as the log's handles are: nothing
    // of an event may stay in the next.
    EvtxEvent event;
    while (reader.Next(event)) {
        CheckAgainstFreshParse(event);
        for (const char* path :
             {"Event/System/Provider/@Name", "Event/System/TimeCreated/@SystemTime",
              "Event/System/EventID", "Event/System/Security/@UserID", "Event/EventData/Data"}) {
            BxValueText(event.document.Value(path));
        }
        for (const auto& item : event.document.EventData()) {
            // The first byte told without the text is the text's.
            const std::string text = BxValueText(item.second);
            if (BxValueTextFirstByte(item.second) !=
                (text.empty() ? -1 : static_cast<unsigned char>(text[0]))) {
                std::abort();
            }
        }
    }
}

namespace {

// Bytes in memory behind the file interface, as a log opened by path sees its file.
class MemoryFileBytes final : public IFileBytes {
  public:
    explicit MemoryFileBytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    const std::string& Path() const override { return path_; }
    std::size_t Size() const override { return bytes_.size(); }
    std::int32_t ReadAt(std::size_t offset, std::span<std::uint8_t> out) const override {
        if (offset > bytes_.size() || out.size() > bytes_.size() - offset) {
            std::abort();  // reads stay inside the file
        }
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
        return 0;
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::string path_ = "fuzz.evt";
};

bool SamePlace(const EvtRecordPlace& a, const EvtRecordPlace& b) {
    return a.offset == b.offset && a.length == b.length && a.recordNumber == b.recordNumber;
}

}  // namespace

void ReadEvt(std::span<const std::uint8_t> data) {
    EvtFile file;
    const std::int32_t attached = file.Attach(data);
    // The same bytes read a few (odd-sized) bytes at a time give the same log.
    EvtFile windowed(61);
    if (windowed.Open(std::make_unique<MemoryFileBytes>(data)) != attached ||
        windowed.DamagedPlaces() != file.DamagedPlaces() ||
        windowed.TruncatedTail() != file.TruncatedTail() ||
        !std::equal(file.Records().begin(), file.Records().end(), windowed.Records().begin(),
                    windowed.Records().end(), SamePlace)) {
        std::abort();
    }
    if (attached != 0) {
        return;
    }
    std::vector<std::uint8_t> bytes;
    for (const EvtRecordPlace& place : file.Records()) {
        if (windowed.RecordBytes(place, bytes) != 0 || bytes != file.RecordBytes(place)) {
            std::abort();
        }
        NarrowEventLogRecord(bytes);
    }
}

void ReadRegFile(std::span<const std::uint8_t> data) {
    std::vector<REG_FILE_CHANGE> changes;
    std::string error;
    ParseRegFile(std::vector<std::uint8_t>(data.begin(), data.end()), changes, error);
}

bool ReadFramedValue(std::span<const std::uint8_t> data) {
    COptItem item(OPT_BIN, "x");
    if (ReadFrame(data, item) != 0) {
        return true;
    }
    return FrameItem(item, data[5]) == std::vector<std::uint8_t>(data.begin(), data.end());
}

// Message arguments as inserts whose texts the field search asks for.
class ArgumentInserts final : public MessageInserts {
  public:
    explicit ArgumentInserts(const std::vector<const char*>& args) : args_(args) {}
    std::size_t Count() const override { return args_.size(); }
    std::size_t MaxSize(std::size_t index) override { return Text(index).size(); }
    bool MayHoldTab(std::size_t index) override {
        return Text(index).find('\t') != std::string_view::npos;
    }
    int FirstByte(std::size_t index) override {
        const std::string_view text = Text(index);
        return text.empty() ? -1 : static_cast<unsigned char>(text[0]);
    }
    std::string_view Text(std::size_t index) override {
        return args_[index] != nullptr ? args_[index] : "";
    }

  private:
    const std::vector<const char*>& args_;
};

// The fields found without making the message must be those of the message.
void CheckFields(const CompiledMessage& message, const std::vector<const char*>& args,
                 const std::string& text) {
    static constexpr std::string_view kLabels[] = {"\tAccount Name:", "\tHandle ID:", "\tA", "\t"};
    ArgumentInserts inserts(args);
    std::string found[std::size(kLabels)];
    if (!message.FindFields(message.PlanFields(kLabels), inserts, kLabels, found)) {
        return;
    }
    std::string expected[std::size(kLabels)];
    FindMessageFields(text, kLabels, expected);
    if (!std::equal(std::begin(found), std::end(found), std::begin(expected))) {
        std::abort();
    }
}

void ReadMessages(std::span<const std::uint8_t> data) {
    MessageTable table;
    std::string error;
    ReadPeMessageTable(data, table, error);
    MessageTable mc;
    ReadMcMessages(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), mc,
                   error);
    for (const auto& [id, text] : mc) {
        table[id] = text;
    }
    const std::vector<const char*> args = {"one", "%%4417", nullptr};
    auto lookup = [&](std::uint32_t number, std::string& found) {
        const auto it = table.find(number);
        if (it == table.end()) {
            return false;
        }
        found = it->second;
        return true;
    };
    // Each message may format to the whole bound: a few hundred of them show
    // as much as all would, at a fraction of the time per input.
    std::size_t left = 256;
    for (const auto& [id, text] : table) {
        if (left-- == 0) {
            break;
        }
        FormatMessageText(text, {false, id % 2 ? 0xFFu : 0u}, args);
        // The template taken apart once must format as the text itself does.
        std::string compiled;
        const CompiledMessage message(text);
        message.Format(args, compiled);
        if (compiled != FormatMessageText(text, {}, args)) {
            std::abort();
        }
        CheckFields(message, args, compiled);
        FormatMessageText(text, {true, id % 7}, args);
        ExpandParameterReferences(text, lookup);
    }
}

void ReadDescriptor(std::span<const std::uint8_t> data) {
    for (std::size_t start = 0; start <= 8; start += 4) {
        formats::DescriptorView view;
        formats::ParseSecurityDescriptor(data, start, view);
    }
}

void ReadNtacl(std::span<const std::uint8_t> data) {
    const FolderDescriptor descriptor{DescriptorForm::sambaNtacl, {data.begin(), data.end()}};
    FolderVerdict verdict{};
    VerdictOfDescriptor(descriptor, verdict);
}

// A folder of this process's own (mkdtemp: no predictable name), removed at exit.
struct PrivateFolder {
    PrivateFolder() {
        std::string name = (std::filesystem::temp_directory_path() / "vzrm-fuzz-XXXXXX").string();
        if (::mkdtemp(name.data()) != nullptr) {
            path = name;
        }
    }
    ~PrivateFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    std::string path;
};

void ReadSealedFolder(std::span<const std::uint8_t> data) {
    static const PrivateFolder scratch;
    const std::string& folder = scratch.path;
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    const std::size_t split = std::min(text.find('\0'), text.size());
    std::string_view seal = text.substr(0, split);
    for (std::size_t start = 0; start < seal.size();) {
        const std::size_t end = std::min(seal.find('\n', start), seal.size());
        SEAL_LINE line;
        std::string why;
        ParseSealLine(seal.substr(start, end - start), line, why);
        start = end + 1;
    }
    if (folder.empty()) {
        return;
    }
    std::ofstream(folder + "/_ZRMAudit_seal.txt", std::ios::binary | std::ios::trunc) << seal;
    std::ofstream(folder + "/_ZRMAudit_summary.txt", std::ios::binary | std::ios::trunc)
        << text.substr(std::min(split + 1, text.size()));
    VerifySealedFolder(folder, {}, [](const SEAL_ITEM&) {});
}

EntryPoint EntryPointOf(std::string_view name) {
    if (name == "fuzz_evtx") {
        return [](std::span<const std::uint8_t> d) { return ReadEvtx(d), true; };
    }
    if (name == "fuzz_evt") {
        return [](std::span<const std::uint8_t> d) { return ReadEvt(d), true; };
    }
    if (name == "fuzz_regfile") {
        return [](std::span<const std::uint8_t> d) { return ReadRegFile(d), true; };
    }
    if (name == "fuzz_frame") {
        return ReadFramedValue;
    }
    if (name == "fuzz_messages") {
        return [](std::span<const std::uint8_t> d) { return ReadMessages(d), true; };
    }
    if (name == "fuzz_descriptor") {
        return [](std::span<const std::uint8_t> d) { return ReadDescriptor(d), true; };
    }
    if (name == "fuzz_seal") {
        return [](std::span<const std::uint8_t> d) { return ReadSealedFolder(d), true; };
    }
    if (name == "fuzz_ntacl") {
        return [](std::span<const std::uint8_t> d) { return ReadNtacl(d), true; };
    }
    return nullptr;
}

}  // namespace vzrm::fuzz
