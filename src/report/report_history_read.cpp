#include "report/report_history_read.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "audit/audit_record.h"
#include "base/resource_text.h"
#include "base/text_ids.h"
#include "report/report_row.h"

namespace vzrm {
namespace {

// No row comes near this; a longer line is no row and is not kept whole.
constexpr std::size_t kLongestLine = 64 * 1024;
// The writer puts the header on line 3; a file without it this early is no report.
constexpr std::size_t kHeaderWithin = 8;

// The lines of a stream without their CR LF or LF. A line longer than
// kLongestLine is cut there and flagged.
class CLineReader {
  public:
    explicit CLineReader(std::istream& in) : in_(in), buffer_(64 * 1024) {}

    bool Next(std::string& line, bool& tooLong) {
        line.clear();
        tooLong = false;
        bool any = false;
        for (;;) {
            if (at_ == end_ && !Fill()) {
                break;
            }
            any = true;
            const char* start = buffer_.data() + at_;
            const void* newline = std::memchr(start, '\n', end_ - at_);
            const std::size_t take =
                newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - start)
                        : end_ - at_;
            const std::size_t room = kLongestLine - std::min(kLongestLine, line.size());
            line.append(start, std::min(take, room));
            tooLong = tooLong || take > room;
            at_ += take;
            if (newline) {
                ++at_;
                break;
            }
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        return any;
    }

  private:
    bool Fill() {
        in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        at_ = 0;
        end_ = static_cast<std::size_t>(in_.gcount());
        return end_ != 0;
    }

    std::istream& in_;
    std::vector<char> buffer_;
    std::size_t at_ = 0;
    std::size_t end_ = 0;
};

// The text up to the first "%s" of a resource text: "Start of processing: ".
std::string ResourcePrefix(std::uint32_t id) {
    const std::string text = LoadResourceText(id);
    return text.substr(0, text.find("%s"));
}

std::string WithoutLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

bool Digits(const std::string& text, std::initializer_list<std::size_t> places) {
    return std::all_of(places.begin(), places.end(),
                       [&](std::size_t at) { return text[at] >= '0' && text[at] <= '9'; });
}

// "%Y.%m.%d" and "%H:%M:%S", as the writer formats them.
bool HasReportTime(const REPORT_ROW& row) {
    const std::string& date = row[kColumnDate];
    const std::string& time = row[kColumnTime];
    return date.size() == 10 && date[4] == '.' && date[7] == '.' &&
           Digits(date, {0, 1, 2, 3, 5, 6, 8, 9}) && time.size() == 8 && time[2] == ':' &&
           time[5] == ':' && Digits(time, {0, 1, 3, 4, 6, 7});
}

// One of the five action words, or empty as the writer leaves other actions.
bool HasKnownEvent(const REPORT_ROW& row) {
    static const std::string kWords[] = {ActionWord(ACTION_CREATE), ActionWord(ACTION_OPEN),
                                         ActionWord(ACTION_WRITE),  ActionWord(ACTION_CLOSE),
                                         ActionWord(ACTION_DELETE), std::string()};
    return std::find(std::begin(kWords), std::end(kWords), row[kColumnEvent]) != std::end(kWords);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::string HeaderSeparator(const std::string& line) {
    const std::string format = WithoutLineEnd(LoadResourceText(kTextReportHeader));
    const std::size_t first = format.find("%s");
    const std::size_t second = format.find("%s", first + 2);
    if (first == std::string::npos || second == std::string::npos) {
        return {};
    }
    const std::string head = format.substr(0, first);
    const std::string next = format.substr(first + 2, second - first - 2);
    const std::size_t end = line.find(next, head.size());
    if (!StartsWith(line, head) || end == std::string::npos || end == head.size()) {
        return {};
    }
    const std::string s = line.substr(head.size(), end - head.size());
    return WithoutLineEnd(FormatResource(kTextReportHeader, s, s, s, s, s, s, s, s)) == line
               ? s
               : std::string();
}

bool SplitReportRow(const std::string& line, const std::string& separator, REPORT_ROW& row) {
    const auto separatorAt = [&](std::size_t at) {
        return line.compare(at, separator.size(), separator) == 0;
    };
    std::size_t at = 0;
    for (std::string& field : row.fields) {
        field.clear();
        if (at < line.size() && line[at] == '"') {
            // Quoted: up to a quote before the separator; doubled quotes are
            // one, and a lone one is kept as older writers left them.
            for (++at;;) {
                const std::size_t quote = line.find('"', at);
                if (quote == std::string::npos) {
                    return false;
                }
                field.append(line, at, quote - at);
                at = quote + 1;
                if (separatorAt(at)) {
                    break;
                }
                field += '"';
                at += at < line.size() && line[at] == '"' ? 1 : 0;
            }
        } else {
            const std::size_t end = line.find(separator, at);
            if (end == std::string::npos) {
                return false;
            }
            field.assign(line, at, end - at);
            at = end;
        }
        at += separator.size();
    }
    return at == line.size();
}

ReportReadOutcome ReadReportRows(std::istream& in,
                                 const std::function<void(const REPORT_ROW&)>& onRow) {
    static const std::string kStart = ResourcePrefix(kTextProcessingStart);
    static const std::string kStop = ResourcePrefix(kTextProcessingStop);
    ReportReadOutcome outcome;
    std::size_t number = 0;
    const auto bad = [&](const char* reason) {
        if (outcome.badLines++ == 0) {
            outcome.firstBadLine = number;
            outcome.firstBadReason = reason;
        }
    };
    CLineReader lines(in);
    std::string line;
    std::string separator;
    REPORT_ROW row;
    bool tooLong = false;
    bool stopped = false;
    while (lines.Next(line, tooLong)) {
        if (++number == 1 && StartsWith(line, "\xEF\xBB\xBF")) {
            line.erase(0, 3);  // the mark a spreadsheet leaves when it saves
        }
        if (separator.empty()) {
            separator = tooLong ? std::string() : HeaderSeparator(line);
            outcome.isReport = !separator.empty();
            if (!outcome.isReport && number >= kHeaderWithin) {
                return outcome;
            }
            if (!outcome.isReport && !line.empty() && !StartsWith(line, kStart)) {
                bad("neither the start line nor the header");
            }
        } else if (line.empty()) {
            continue;
        } else if (stopped) {
            bad("a line after the stop line");
        } else if (StartsWith(line, kStop)) {
            stopped = true;
        } else if (tooLong || !SplitReportRow(line, separator, row)) {
            bad("not a row of nine fields with the header's separator");
        } else if (!HasReportTime(row)) {
            bad("no date and time in the report's form");
        } else if (!HasKnownEvent(row)) {
            bad("an event the report does not know");
        } else {
            ++outcome.rows;
            onRow(row);
        }
    }
    if (!outcome.isReport) {
        return outcome;
    }
    ++number;
    if (in.bad()) {
        bad("the file could not be read further");
    } else if (!stopped) {
        bad("no stop line: the report is cut short");
    }
    return outcome;
}

}  // namespace vzrm
