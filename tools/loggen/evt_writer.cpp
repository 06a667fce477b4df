#include "tools/loggen/evt_writer.h"

#include <cstring>
#include <stdexcept>

#include "formats/binxml_value_text.h"
#include "platform/calendar.h"
#include "tools/loggen/bytes.h"

namespace vzrm::loggen {
namespace {

constexpr std::uint32_t kHeaderSize = 0x30;
constexpr std::uint32_t kFixedSize = 56;
constexpr std::uint32_t kEndRecordSize = 0x28;

void PutWide(std::vector<std::uint8_t>& out, const std::string& text) {
    PutUtf16(out, text);
    PutLe(out, std::uint16_t{0});
}

std::string Hex(std::uint64_t value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llX", static_cast<unsigned long long>(value));
    return buffer;
}

std::vector<std::uint8_t> RecordOf(const ScenarioEvent& e, std::uint32_t number) {
    const std::vector<std::string> strings = ClassicStrings(e);
    const auto seconds = static_cast<std::uint32_t>(
        platform::InstantFromFileTime(static_cast<std::int64_t>(e.fileTime)));
    std::vector<std::uint8_t> r(kFixedSize, 0);
    PutWide(r, "Security");
    PutWide(r, e.computer);
    while (r.size() % 4 != 0) {
        r.push_back(0);
    }
    std::vector<std::uint8_t> sid;
    if (!formats::SidFromText(e.sid, sid)) {
        throw std::runtime_error("sid must look like S-1-5-21-...");
    }
    const auto sidOffset = static_cast<std::uint32_t>(r.size());
    r.insert(r.end(), sid.begin(), sid.end());
    const auto stringOffset = static_cast<std::uint32_t>(r.size());
    for (const std::string& s : strings) {
        PutWide(r, s);
    }
    const auto dataOffset = static_cast<std::uint32_t>(r.size());
    while ((r.size() + 4) % 4 != 0) {
        r.push_back(0);
    }
    const auto length = static_cast<std::uint32_t>(r.size() + 4);
    PutLe(r, length);
    std::vector<std::uint8_t> head;
    PutLe(head, length);
    PutLe(head, std::uint32_t{0x654C664C});
    PutLe(head, number);
    PutLe(head, seconds);
    PutLe(head, seconds);
    PutLe(head, e.id);
    PutLe(head, static_cast<std::uint16_t>(e.success ? 8 : 16));
    PutLe(head, static_cast<std::uint16_t>(strings.size()));
    PutLe(head, static_cast<std::uint16_t>(e.task ? e.task : 3));
    PutLe(head, std::uint16_t{0});
    PutLe(head, std::uint32_t{0});
    PutLe(head, stringOffset);
    PutLe(head, static_cast<std::uint32_t>(sid.size()));
    PutLe(head, sidOffset);
    PutLe(head, std::uint32_t{0});
    PutLe(head, dataOffset);
    std::memcpy(r.data(), head.data(), kFixedSize);
    return r;
}

}  // namespace

// Handle and process IDs are decimal in classic events. Every event names its
// subject account (user, domain, logon) so the messages can show it.
std::vector<std::string> ClassicStrings(const ScenarioEvent& e) {
    const std::string handle = std::to_string(e.handle);
    const std::string pid = std::to_string(e.pid);
    const std::string logon = "(0x0," + Hex(e.logon) + ")";
    switch (e.id) {
        case 560:
            return {
                e.server, e.type,     e.object, handle,   "{0," + std::to_string(e.record) + "}",
                pid,      e.process,  e.user,   e.domain, logon,
                "-",      "-",        "-",      e.access, "-",
                "0",      Hex(e.mask)};
        case 562:
        case 564:
            return {e.server, handle, pid, e.process, e.user, e.domain, logon};
        case 567:
            return {e.server, handle,      e.type, pid,      e.process,
                    e.access, Hex(e.mask), e.user, e.domain, logon};
        default:
            return {e.user, e.domain, logon, e.object, pid, e.process};
    }
}

EvtWriter::EvtWriter(const std::string& path, std::uint32_t maxSize)
    : path_(path), maxSize_(maxSize) {
    if (maxSize_ != 0 && maxSize_ < 0x10000) {
        throw std::runtime_error("a circular log needs at least 64 KiB");
    }
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        throw std::runtime_error("cannot create " + path);
    }
    if (maxSize_ != 0) {
        ring_.assign(maxSize_, 0);
    } else {
        const std::vector<std::uint8_t> header(kHeaderSize, 0);  // rewritten by Finish
        std::fwrite(header.data(), 1, header.size(), file_);
    }
}

EvtWriter::~EvtWriter() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

void EvtWriter::Add(const ScenarioEvent& event) {
    if (!started_ && event.record != 0) {
        // Numbering starts at the scenario's first record (an archive's part
        // of a log starts where the one before it ended), then runs on.
        nextNumber_ = oldestNumber_ = static_cast<std::uint32_t>(event.record);
    }
    started_ = true;
    const std::uint32_t number = nextNumber_++;
    const std::vector<std::uint8_t> record = RecordOf(event, number);
    if (maxSize_ == 0) {
        if (std::fwrite(record.data(), 1, record.size(), file_) != record.size()) {
            throw std::runtime_error("cannot write " + path_);
        }
        end_ += static_cast<std::uint32_t>(record.size());
        return;
    }
    WriteCircular(record, number);
}

void EvtWriter::WriteCircular(const std::vector<std::uint8_t>& record, std::uint32_t number) {
    const std::uint32_t area = maxSize_ - kHeaderSize;
    if (record.size() + kEndRecordSize > area) {
        throw std::runtime_error("event too large for the log");
    }
    auto used = [&] { return live_.empty() ? 0u : (end_ + area - live_.front().offset) % area; };
    // Records that reach the end of the file go on after the header, split as
    // Windows splits them. The oldest records are overwritten until the new one
    // and the end record fit with room to spare: the oldest record never starts
    // right after the end record, which readers would take for a full circle.
    while (!live_.empty() && area - used() <= record.size() + kEndRecordSize) {
        live_.pop_front();
        wrapped_ = true;
    }
    const std::uint32_t at = end_;
    for (std::size_t i = 0; i < record.size(); ++i) {
        std::uint32_t p = at + static_cast<std::uint32_t>(i);
        if (p >= maxSize_) {
            p = p - maxSize_ + kHeaderSize;
        }
        ring_[p] = record[i];
    }
    live_.push_back({at, static_cast<std::uint32_t>(record.size()), number});
    end_ = at + static_cast<std::uint32_t>(record.size());
    if (end_ >= maxSize_) {
        end_ = end_ - maxSize_ + kHeaderSize;
    }
}

std::vector<std::uint8_t> EvtWriter::EndRecord() const {
    std::vector<std::uint8_t> r;
    PutLe(r, kEndRecordSize);
    PutLe(r, std::uint32_t{0x11111111});
    PutLe(r, std::uint32_t{0x22222222});
    PutLe(r, std::uint32_t{0x33333333});
    PutLe(r, std::uint32_t{0x44444444});
    PutLe(r, live_.empty() ? start_ : live_.front().offset);
    PutLe(r, end_);
    PutLe(r, nextNumber_);
    PutLe(r, live_.empty() ? oldestNumber_ : live_.front().number);
    PutLe(r, kEndRecordSize);
    return r;
}

std::vector<std::uint8_t> EvtWriter::Header() const {
    std::vector<std::uint8_t> h;
    PutLe(h, kHeaderSize);
    PutLe(h, std::uint32_t{0x654C664C});
    PutLe(h, std::uint32_t{1});
    PutLe(h, std::uint32_t{1});
    PutLe(h, live_.empty() ? start_ : live_.front().offset);
    PutLe(h, end_);
    PutLe(h, nextNumber_);
    PutLe(h, live_.empty() ? oldestNumber_ : live_.front().number);
    PutLe(h, maxSize_ != 0 ? maxSize_ : end_ + kEndRecordSize);
    PutLe(h, static_cast<std::uint32_t>(wrapped_ ? 2 : 0));
    PutLe(h, std::uint32_t{0});
    PutLe(h, kHeaderSize);
    return h;
}

void EvtWriter::Finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    const std::vector<std::uint8_t> end = EndRecord();
    const std::vector<std::uint8_t> header = Header();
    bool ok = true;
    if (maxSize_ == 0) {
        ok = std::fwrite(end.data(), 1, end.size(), file_) == end.size() &&
             std::fseek(file_, 0, SEEK_SET) == 0 &&
             std::fwrite(header.data(), 1, header.size(), file_) == header.size();
    } else {
        for (std::size_t i = 0; i < end.size(); ++i) {
            std::uint32_t p = end_ + static_cast<std::uint32_t>(i);
            if (p >= maxSize_) {
                p = p - maxSize_ + kHeaderSize;
            }
            ring_[p] = end[i];
        }
        std::memcpy(ring_.data(), header.data(), header.size());
        ok = std::fwrite(ring_.data(), 1, ring_.size(), file_) == ring_.size();
    }
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (!ok) {
        throw std::runtime_error("cannot write " + path_);
    }
}

}  // namespace vzrm::loggen
