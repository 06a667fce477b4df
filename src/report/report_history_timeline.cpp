#include "report/report_history_timeline.h"

#include <algorithm>
#include <cstdio>

#include "audit/audit_record.h"
#include "report/report_row.h"

namespace vzrm {
namespace {

constexpr int kWidth = 960;
constexpr int kLeft = 170;  // the users' names
constexpr int kRight = 30;
constexpr int kLane = 26;
constexpr int kAxis = 34;
constexpr int kTicks = 5;

// The row's local time as seconds on a uniform scale: only differences count.
std::int64_t RowSeconds(const REPORT_ROW& row) {
    const std::string& d = row[kColumnDate];
    const std::string& t = row[kColumnTime];
    int y = std::stoi(d.substr(0, 4));
    const int m = std::stoi(d.substr(5, 2));
    const int day = std::stoi(d.substr(8, 2));
    // Days from the civil date (proleptic Gregorian).
    y -= m <= 2 ? 1 : 0;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t days = static_cast<std::int64_t>(era) * 146097 + doe;
    return days * 86400 + std::stoi(t.substr(0, 2)) * 3600 + std::stoi(t.substr(3, 2)) * 60 +
           std::stoi(t.substr(6, 2));
}

// The label of a moment on the axis, back from RowSeconds' scale.
std::string AxisLabel(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    const std::int64_t rest = seconds % 86400;
    const std::int64_t era = days / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld.%02lld.%02lld %02lld:%02lld",
                  static_cast<long long>(y), static_cast<long long>(m), static_cast<long long>(d),
                  static_cast<long long>(rest / 3600), static_cast<long long>(rest % 3600 / 60));
    return text;
}

struct MarkStyle {
    std::uint32_t action;
    const char* colour;
};
constexpr MarkStyle kMarks[] = {{ACTION_CREATE, "#2e7d32"},
                                {ACTION_OPEN, "#1565c0"},
                                {ACTION_WRITE, "#ef6c00"},
                                {ACTION_CLOSE, "#6d6d6d"},
                                {ACTION_DELETE, "#c62828"}};

// The mark of one action at (x, y): circle, square, diamond, ring, cross.
std::string Mark(std::uint32_t action, int x, int y) {
    const char* colour = "#000";
    for (const MarkStyle& style : kMarks) {
        colour = style.action == action ? style.colour : colour;
    }
    const std::string at = std::to_string(x) + "," + std::to_string(y);
    const std::string c = std::string("\" fill=\"") + colour + "\"";
    switch (action) {
        case ACTION_CREATE:
            return "<circle class=\"mark create\" r=\"6\" cx=\"" + std::to_string(x) + "\" cy=\"" +
                   std::to_string(y) + c + "/>";
        case ACTION_OPEN:
            return "<rect class=\"mark open\" width=\"10\" height=\"10\" x=\"" +
                   std::to_string(x - 5) + "\" y=\"" + std::to_string(y - 5) + c + "/>";
        case ACTION_WRITE:
            return "<path class=\"mark write\" transform=\"translate(" + at +
                   ")\" d=\"M0,-7L7,0L0,7L-7,0Z" + c + "/>";
        case ACTION_CLOSE:
            return "<circle class=\"mark close\" r=\"5\" cx=\"" + std::to_string(x) + "\" cy=\"" +
                   std::to_string(y) + "\" fill=\"none\" stroke-width=\"2\" stroke=\"" + colour +
                   "\"/>";
        case ACTION_DELETE:
            return "<path class=\"mark delete\" transform=\"translate(" + at +
                   ")\" d=\"M-6,-6L6,6M6,-6L-6,6\" stroke-width=\"3\" stroke=\"" + colour + "\"/>";
        default:
            return "<circle class=\"mark\" r=\"3\" cx=\"" + std::to_string(x) + "\" cy=\"" +
                   std::to_string(y) + c + "/>";
    }
}

std::uint32_t ActionOf(const std::string& word) {
    for (const MarkStyle& style : kMarks) {
        if (ActionWord(style.action) == word) {
            return style.action;
        }
    }
    return ACTION_NONE;
}

}  // namespace

std::string HtmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string TimelineLegend() {
    std::string svg = "<svg class=\"legend\" width=\"520\" height=\"24\" role=\"img\">";
    int x = 10;
    for (const MarkStyle& style : kMarks) {
        svg += Mark(style.action, x, 12) + "<text x=\"" + std::to_string(x + 12) + "\" y=\"16\">" +
               HtmlText(ActionWord(style.action)) + "</text>";
        x += 100;
    }
    return svg + "</svg>";
}

std::string RecordingTimeline(const std::vector<const HISTORY_ROW*>& rows) {
    std::vector<std::string> users;
    std::int64_t first = 0;
    std::int64_t last = 0;
    for (const HISTORY_ROW* row : rows) {
        const std::int64_t at = RowSeconds(row->row);
        first = row == rows.front() ? at : std::min(first, at);
        last = row == rows.front() ? at : std::max(last, at);
        if (std::find(users.begin(), users.end(), row->row[kColumnUser]) == users.end()) {
            users.push_back(row->row[kColumnUser]);
        }
    }
    if (last - first < 120) {  // a single moment sits in the middle of two minutes
        first -= 60;
        last += 60;
    }
    const int span = kWidth - kLeft - kRight;
    const auto xOf = [&](std::int64_t at) {
        return kLeft + static_cast<int>((at - first) * span / (last - first));
    };
    const int height = static_cast<int>(users.size()) * kLane + kAxis;
    std::string svg = "<svg class=\"timeline\" viewBox=\"0 0 " + std::to_string(kWidth) + " " +
                      std::to_string(height) + "\" width=\"" + std::to_string(kWidth) +
                      "\" height=\"" + std::to_string(height) + "\" role=\"img\">";
    for (std::size_t lane = 0; lane < users.size(); ++lane) {
        const int y = static_cast<int>(lane) * kLane + kLane / 2;
        svg += "<text class=\"user\" x=\"4\" y=\"" + std::to_string(y + 4) + "\">" +
               HtmlText(users[lane]) + "</text><line class=\"lane\" x1=\"" + std::to_string(kLeft) +
               "\" x2=\"" + std::to_string(kWidth - kRight) + "\" y1=\"" + std::to_string(y) +
               "\" y2=\"" + std::to_string(y) + "\"/>";
    }
    const int axis = static_cast<int>(users.size()) * kLane + 4;
    for (int tick = 0; tick < kTicks; ++tick) {
        const std::int64_t at = first + (last - first) * tick / (kTicks - 1);
        const int x = xOf(at);
        svg += "<line class=\"tick\" x1=\"" + std::to_string(x) + "\" x2=\"" + std::to_string(x) +
               "\" y1=\"0\" y2=\"" + std::to_string(axis + 4) + "\"/><text class=\"axis\" x=\"" +
               std::to_string(x) + "\" y=\"" + std::to_string(axis + 18) + "\" text-anchor=\"" +
               (tick == kTicks - 1 ? "end" : "middle") + "\">" + AxisLabel(at) + "</text>";
    }
    for (const HISTORY_ROW* row : rows) {
        const REPORT_ROW& r = row->row;
        const auto lane = std::find(users.begin(), users.end(), r[kColumnUser]) - users.begin();
        svg += "<g><title>" +
               HtmlText(RowTimeKey(r) + " " + r[kColumnEvent] + " by " + r[kColumnUser] + " with " +
                        r[kColumnProgramName]) +
               "</title>" +
               Mark(ActionOf(r[kColumnEvent]), xOf(RowSeconds(r)),
                    static_cast<int>(lane) * kLane + kLane / 2) +
               "</g>";
    }
    return svg + "</svg>";
}

}  // namespace vzrm
