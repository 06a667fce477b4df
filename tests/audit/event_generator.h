// Generated sequences of access events for the interpretation's tests: the
// lives of files on handles that repeat, with noise, sometimes out of time
// order, from one machine or from several as a collector's log holds them.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "audit/audit_record.h"

namespace vzrm::test {

class EventGenerator {
  public:
    explicit EventGenerator(std::uint64_t seed) : random_(seed) {
        inTimeOrder_ = Chance(0.8);
        time_ = 1'773'000'000;
        // Most logs are one machine's; a collector's holds several, whose
        // clocks need not agree, with handles and processes that repeat.
        machines_ = Chance(0.6) ? 1 : Pick(2, 4);
    }

    bool InTimeOrder() const { return inTimeOrder_; }
    int Machines() const { return machines_; }
    std::int64_t FirstTime() const { return 1'773'000'000; }
    std::int64_t Now() const { return time_; }

    std::vector<AUDIT_RECORD> Sequence() {
        std::vector<AUDIT_RECORD> events;
        const int length = Pick(1, 400);
        while (static_cast<int>(events.size()) < length) {
            machine_ = Pick(0, machines_ - 1);
            if (Chance(0.35)) {
                AppendLife(events);
            } else {
                events.push_back(RandomEvent());
            }
        }
        return events;
    }

    std::optional<std::int64_t> Bound() {
        if (Chance(0.3)) {
            return std::nullopt;
        }
        return FirstTime() + Pick(-40, static_cast<int>(time_ - FirstTime()) + 10);
    }

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(random_); }

  private:
    template <typename T, std::size_t N>
    const T& OneOf(const T (&items)[N]) {
        return items[static_cast<std::size_t>(Pick(0, static_cast<int>(N) - 1))];
    }

    std::int64_t Tick() {
        static const int kSteps[] = {0, 0, 0, 0, 1, 1, 1, 2, 2, 3, 5};
        time_ += OneOf(kSteps);
        if (!inTimeOrder_ && Chance(0.08)) {
            time_ -= Pick(1, 3);
        }
        return time_;
    }

    std::string Object() {
        static const char* const kObjects[] = {
            "D:\\R\\a.zrm",    "d:\\r\\A.ZRM",  "D:\\R\\b.zrm",
            "D:\\R\\.\\b.zrm", "D:\\R\\c.txt",  "D:\\R\\a.zrm:s",
            "D:\\R\\ÄB.zrm",   "d:\\r\\äb.ZRM", "D:\\R\\x\\..\\a.zrm"};
        return OneOf(kObjects);
    }

    std::string Process() {
        static const char* const kProcesses[] = {"C:\\Rec\\pramvoxe.exe", "C:\\REC\\PRAMVOXE.EXE",
                                                 "C:\\Rec\\soskavir.exe", "C:\\Tools\\copy.exe",
                                                 "C:\\Tools\\Copy.exe"};
        return OneOf(kProcesses);
    }

    AUDIT_RECORD Event(AUDIT_ACTION action, std::uint32_t handle, std::string object,
                       std::uint32_t pid, std::string process) {
        AUDIT_RECORD r;
        r.user = "operator";
        r.computer = Computer(machine_);
        r.objectName = std::move(object);
        r.handleId = handle;
        r.processId = pid;
        r.processName = std::move(process);
        r.time = Tick() + Skew(machine_);
        r.eventId = 4663;
        r.recordNumber = ++record_;
        r.action = action;
        return r;
    }

    // The computer of machine `m`; one machine may be spelled in several cases.
    std::string Computer(int m) {
        static const char* const kNames[][2] = {
            {"RECPC", "RECPC"}, {"PC2", "pc2"}, {"Pc3", "PC3"}, {"PC-ÄU", "pc-äu"}};
        return kNames[m][Chance(0.2) ? 1 : 0];
    }
    // Machines' clocks: some behind, some ahead.
    static std::int64_t Skew(int m) {
        static const std::int64_t kSkews[] = {0, -30, 7, 0};
        return kSkews[m];
    }

    std::uint32_t Handle() {
        static const std::uint32_t kHandles[] = {0, 0x10, 0x14, 0x18, 0x1c, 0x20};
        return OneOf(kHandles);
    }
    std::uint32_t Pid() {
        static const std::uint32_t kPids[] = {100, 200, 300};
        return OneOf(kPids);
    }

    AUDIT_RECORD RandomEvent() {
        static const AUDIT_ACTION kActions[] = {ACTION_OPEN,      ACTION_OPEN,
                                                ACTION_WRITE,     ACTION_WRITE,
                                                ACTION_CLOSE,     ACTION_CLOSE,
                                                ACTION_DELETE,    ACTION_OTHER_ACCESS,
                                                ACTION_READ_DATA, ACTION_READ_ATTRIBUTES,
                                                ACTION_NONE};
        const AUDIT_ACTION action = OneOf(kActions);
        const bool nameless = action == ACTION_CLOSE ? Chance(0.8) : Chance(0.1);
        // One random draw after the other, in a fixed order, so that every
        // compiler makes the same log of a seed.
        std::string process = Process();
        const std::uint32_t pid = Pid();
        std::string object = nameless ? std::string() : Object();
        const std::uint32_t handle = Handle();
        return Event(action, handle, std::move(object), pid, std::move(process));
    }

    // One file's life on one handle: open, accesses, close, perhaps a delete
    // and a reopen, as a recorder or a copy tool would leave them.
    void AppendLife(std::vector<AUDIT_RECORD>& events) {
        const std::uint32_t handle = Handle();
        const std::uint32_t pid = Pid();
        const std::string process = Process();
        const std::string object = Object();
        events.push_back(Event(ACTION_OPEN, handle, object, pid, process));
        for (int i = Pick(0, 3); i > 0; --i) {
            static const AUDIT_ACTION kAccess[] = {ACTION_WRITE, ACTION_WRITE, ACTION_READ_DATA,
                                                   ACTION_READ_ATTRIBUTES, ACTION_OTHER_ACCESS};
            const bool named = Chance(0.7);
            const AUDIT_ACTION access = OneOf(kAccess);
            events.push_back(Event(access, handle, named ? object : "", pid, process));
        }
        if (Chance(0.2)) {
            events.push_back(Event(ACTION_DELETE, handle, object, pid, process));
        }
        events.push_back(Event(ACTION_CLOSE, handle, "", pid, process));
        if (Chance(0.3)) {
            const bool byOtherProcess = Chance(0.7);
            const std::uint32_t otherPid = Pid();
            const std::uint32_t otherHandle = Handle();
            events.push_back(Event(ACTION_DELETE, otherHandle, object, otherPid,
                                   byOtherProcess ? "C:\\Rec\\soskavir.exe" : process));
        }
        if (Chance(0.3)) {
            events.push_back(Event(ACTION_OPEN, Handle(), object, pid, process));
        }
    }

    std::mt19937_64 random_;
    bool inTimeOrder_ = true;
    std::int64_t time_ = 0;
    std::uint64_t record_ = 0;
    int machines_ = 1;
    int machine_ = 0;
};

}  // namespace vzrm::test
