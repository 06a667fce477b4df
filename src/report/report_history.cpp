#include "report/report_history.h"

#include <algorithm>
#include <cstdio>

#include "base/case_fold.h"
#include "base/local_date_time.h"

namespace vzrm {
namespace {

// The length of the UTF-8 character at the start of `text`.
std::size_t CharacterLength(std::string_view text) {
    std::size_t length = 1;
    while (length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
        ++length;
    }
    return length;
}

bool MatchFolded(std::string_view pattern, std::string_view text) {
    // Backtracks only to the last '*': linear for the patterns people type.
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t star = std::string_view::npos;
    std::size_t resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = ++p;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            t += CharacterLength(text.substr(t));
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            p = star;
            t = resume += CharacterLength(text.substr(resume));
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

bool HoldsFolder(std::string_view pattern) {
    return pattern.find_first_of("\\/") != std::string_view::npos;
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view text) {
    return MatchFolded(FoldCase(pattern), FoldCase(text));
}

bool ParseHistoryBound(const std::string& text, bool end, std::string& key) {
    int y = 0, mo = 0, d = 0, h = end ? 23 : 0, mi = end ? 59 : 0, s = end ? 59 : 0;
    char rest = 0;
    const int read =
        std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &rest);
    if ((read != 3 && read != 6) || (read == 3 && text.size() != 10) ||
        !CLocalDateTime::FromFields(y, mo, d, h, mi, s).IsValid()) {
        return false;
    }
    char formatted[32];
    std::snprintf(formatted, sizeof formatted, "%04d.%02d.%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    key = formatted;
    return true;
}

std::string RowTimeKey(const REPORT_ROW& row) {
    return row[kColumnDate] + " " + row[kColumnTime];
}

std::string RowRecording(const REPORT_ROW& row) {
    return row[kColumnFileFolder] + row[kColumnFileName];
}

std::string RowProgram(const REPORT_ROW& row) {
    return row[kColumnProgramFolder] + row[kColumnProgramName];
}

bool HistoryFilter::Matches(const REPORT_ROW& row) const {
    if (!from.empty() || !to.empty()) {
        const std::string key = RowTimeKey(row);
        if ((!from.empty() && key < from) || (!to.empty() && key > to)) {
            return false;
        }
    }
    if (!file.empty() &&
        !WildcardMatch(file, HoldsFolder(file) ? RowRecording(row) : row[kColumnFileName])) {
        return false;
    }
    if (!program.empty() &&
        !WildcardMatch(program, HoldsFolder(program) ? RowProgram(row) : row[kColumnProgramName])) {
        return false;
    }
    if (user.empty()) {
        return true;
    }
    const std::string& who = row[kColumnUser];
    const std::size_t slash = who.rfind('\\');
    return WildcardMatch(user, who) ||
           (slash != std::string::npos && WildcardMatch(user, who.substr(slash + 1)));
}

std::size_t CHistory::RowHash::operator()(std::size_t row) const {
    const HISTORY_ROW& entry = (*rows)[row];
    std::size_t hash = entry.repeat;
    for (const std::string& field : entry.row.fields) {
        hash = hash * 31 + std::hash<std::string>()(field);
    }
    return hash;
}

bool CHistory::RowEqual::operator()(std::size_t a, std::size_t b) const {
    const HISTORY_ROW& x = (*rows)[a];
    const HISTORY_ROW& y = (*rows)[b];
    return x.repeat == y.repeat &&
           std::equal(std::begin(x.row.fields), std::end(x.row.fields), std::begin(y.row.fields));
}

void CHistory::BeginReport(std::string name) {
    reports_.push_back(std::move(name));
    repeats_.clear();
}

void CHistory::Add(const REPORT_ROW& row) {
    key_.clear();
    for (const std::string& field : row.fields) {
        key_ += field;
        key_ += '\x1F';
    }
    const std::size_t repeat = ++repeats_[key_];
    const std::size_t report = reports_.empty() ? 0 : reports_.size() - 1;
    rows_.push_back({row, report, report, repeat, rows_.size()});
    const auto [kept, added] = kept_.insert(rows_.size() - 1);
    if (!added) {
        rows_[*kept].lastReport = report;
        rows_.pop_back();
        return;
    }
    sorted_ = false;
}

const std::vector<HISTORY_ROW>& CHistory::Rows() {
    if (!sorted_) {
        // Row indexes in kept_ go stale here: the reading is over.
        // In place: a stable sort's buffer would hold all rows a second time.
        std::sort(rows_.begin(), rows_.end(), [](const HISTORY_ROW& a, const HISTORY_ROW& b) {
            const int date = a.row[kColumnDate].compare(b.row[kColumnDate]);
            const int time = a.row[kColumnTime].compare(b.row[kColumnTime]);
            return date != 0 ? date < 0 : time != 0 ? time < 0 : a.read < b.read;
        });
        kept_.clear();
        sorted_ = true;
    }
    return rows_;
}

}  // namespace vzrm
