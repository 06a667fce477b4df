#include "site_log.h"

#include <cstdio>
#include <iterator>

namespace vzrm::bench {
namespace {

const char* const kMachines[] = {"REC-WARD-A", "REC-WARD-B", "REC-ARCHIVE"};

struct Account {
    const char* user;
    const char* domain;
    const char* sid;
    std::uint64_t logon;
};
const Account kAccounts[] = {
    {"a.nowak", "VELMORA", "S-1-5-21-3623811015-3361044348-30300820-1104", 0x2F5A31C},
    {"b.fischer", "VELMORA", "S-1-5-21-3623811015-3361044348-30300820-1121", 0x3B0E9D2},
    {"c.moreau", "VELMORA", "S-1-5-21-3623811015-3361044348-30300820-1187", 0x1C77A04},
    {"recsvc", "VELMORA", "S-1-5-21-3623811015-3361044348-30300820-2310", 0x8E3F1},
    {"SYSTEM", "NT AUTHORITY", "S-1-5-18", 0x3E7},
    {"archivist", "REC-ARCHIVE", "S-1-5-21-1004336348-1177238915-682003330-1001", 0x51D2E8A},
};

// Four programs on each machine: recorders, a copier, the shell, a service.
const char* const kPrograms[] = {
    "C:\\Program Files\\Quorvix\\pramvoxe.exe",
    "C:\\Program Files\\Tulben\\tulbenqa.exe",
    "C:\\Windows\\explorer.exe",
    "C:\\Backup\\bkagent.exe",
    "C:\\Program Files\\Soskavir\\soskavir.exe",
    "C:\\Gemdorif\\gemdorif.exe",
    "C:\\Windows\\System32\\robocopy.exe",
    "C:\\Windows\\System32\\svchost.exe",
    "C:\\Program Files\\Quorvix\\pramvoxe.exe",
    "C:\\Windows\\explorer.exe",
    "C:\\Indexer\\indexer.exe",
    "C:\\Windows\\System32\\dllhost.exe",
};

// Folders and names whose paths come to 20-60 characters.
const char* const kFolders[] = {"D:\\Rec\\", "D:\\Recordings\\Ward A\\", "E:\\Archive\\2026\\Q1\\",
                                "D:\\Recordings\\Theatre 2\\", "R:\\"};
const char* const kStems[] = {"s", "session-", "interview-", "patient-case-", "take"};

const char* const kOtherFiles[] = {"C:\\Windows\\Temp\\~rec%u.tmp", "D:\\Rec\\cache\\w%u.wav",
                                   "C:\\ProgramData\\Quorvix\\state%u.ini"};

// Who runs each program.
const std::size_t kRunAs[] = {0, 3, 1, 4, 1, 3, 2, 4, 3, 0, 5, 5};

// Other events, with the task Windows files them under (4985: file system).
const std::uint32_t kOtherIds[] = {4624, 4688, 4985, 5156, 4634, 4672};

}  // namespace

SiteScenario::SiteScenario() {
    for (std::size_t i = 0; recordings_.size() < 745; ++i) {
        std::string path = std::string(kFolders[i % std::size(kFolders)]) +
                           kStems[i / 5 % std::size(kStems)] + std::to_string(1000 + i * 7) +
                           (i % 3 == 0 ? "-2026-03-14" : "") + ".zrm";
        if (path.size() >= 20 && path.size() <= 60) {
            recordings_.push_back(std::move(path));
        }
    }
    for (std::size_t i = 0; i < std::size(kPrograms); ++i) {
        Process p;
        p.machine = i / 4;
        p.account = kRunAs[i];
        p.path = kPrograms[i];
        p.pid = 0x3A0 + i * 0x1F4;
        p.nextHandle = 0x1A4 + i * 0x40;
        processes_.push_back(std::move(p));
    }
}

std::uint32_t SiteScenario::Random(std::uint32_t below) {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<std::uint32_t>(state_ % below);
}

void SiteScenario::Subject(const Process& p, loggen::ScenarioEvent& e) const {
    const Account& account = kAccounts[p.account];
    e = loggen::ScenarioEvent{};
    e.computer = kMachines[p.machine];
    e.user = account.user;
    e.domain = account.domain;
    e.sid = account.sid;
    e.logon = account.logon;
    e.pid = p.pid;
    e.process = p.path;
}

void SiteScenario::Next(loggen::ScenarioEvent& e) {
    fileTime_ += 10000ull * Random(700);  // up to 0.7 s between events
    Process& p = processes_[Random(static_cast<std::uint32_t>(processes_.size()))];
    const std::size_t open = p.open.size();
    if (Random(100) < 3) {
        Other(p, e);
    } else if (open == 0 || (open < 6 && Random(4) == 0)) {
        Open(p, e);
    } else {
        Use(p, Random(static_cast<std::uint32_t>(open)), e);
    }
    e.record = ++records_[p.machine];
    e.fileTime = fileTime_;
}

void SiteScenario::Other(Process& p, loggen::ScenarioEvent& e) {
    Subject(p, e);
    e.id = kOtherIds[Random(std::size(kOtherIds))];
    e.task = e.id == 4985 ? 12800 : 0;
    e.object = e.id == 4688 ? processes_[Random(12)].path : "-";
    e.type = "-";
}

void SiteScenario::Open(Process& p, loggen::ScenarioEvent& e) {
    OpenHandle h;
    if (p.freeHandles.empty()) {
        h.handle = p.nextHandle;
        p.nextHandle += 4;
    } else {
        h.handle = p.freeHandles.back();
        p.freeHandles.pop_back();
    }
    if (Random(100) < 85) {
        h.object = recordings_[Random(static_cast<std::uint32_t>(recordings_.size()))];
    } else {
        char name[64];
        std::snprintf(name, sizeof name, kOtherFiles[Random(std::size(kOtherFiles))], Random(200));
        h.object = name;
    }
    // A session writes, reads, looks at attributes or deletes.
    const std::uint32_t kind = Random(100);
    std::uint32_t openMask = 0x120089;
    if (kind < 50) {
        static const std::uint32_t kWrites[] = {0x2, 0x4, 0x6, 0x2, 0x80};
        openMask = kind < 30 ? 0x12019F : 0x120116;
        h.accessMask = kWrites[Random(std::size(kWrites))];
        h.accessesLeft = 2 + static_cast<int>(Random(7));
    } else if (kind < 90) {
        h.accessMask = Random(4) == 0 ? 0x80 : 0x1;
        h.accessesLeft = 1 + static_cast<int>(Random(6));
    } else if (kind < 97) {
        openMask = 0x100080;
        h.accessMask = 0x80;
        h.accessesLeft = static_cast<int>(Random(2));
    } else {
        openMask = 0x110080;
        h.deletes = true;
    }
    Subject(p, e);
    e.id = 4656;
    e.handle = h.handle;
    e.object = h.object;
    e.mask = openMask;
    p.open.push_back(std::move(h));
}

void SiteScenario::Use(Process& p, std::size_t which, loggen::ScenarioEvent& e) {
    OpenHandle& h = p.open[which];
    Subject(p, e);
    e.handle = h.handle;
    e.object = h.object;
    if (h.accessesLeft > 0) {
        --h.accessesLeft;
        e.id = 4663;
        // Now and then another access than the session's own.
        e.mask = Random(8) == 0 ? 0x80 : h.accessMask;
        return;
    }
    if (h.deletes && !h.deleted) {
        h.deleted = true;
        e.id = 4660;
        return;
    }
    e.id = 4658;
    p.freeHandles.push_back(h.handle);
    p.open.erase(p.open.begin() + static_cast<std::ptrdiff_t>(which));
}

}  // namespace vzrm::bench
