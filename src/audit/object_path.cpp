#include "audit/object_path.h"

#include <vector>

#include "base/case_fold.h"

namespace vzrm {
namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string_view LastComponent(std::string_view path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsSeparator(path[i - 1])) {
            return path.substr(i);
        }
    }
    return path;
}

// Length of the part of the path that ".." never removes.
std::size_t RootLength(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':') {
        return path.size() >= 3 && path[2] == '\\' ? 3 : 2;
    }
    if (path.starts_with("\\\\")) {
        // \\server\share\ .
        std::size_t at = path.find('\\', 2);
        if (at == std::string_view::npos) {
            return path.size();
        }
        at = path.find('\\', at + 1);
        return at == std::string_view::npos ? path.size() : at + 1;
    }
    return path.starts_with("\\") ? 1 : 0;
}

}  // namespace

bool HasDotSegment(std::string_view path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            const std::string_view segment = path.substr(start, i - start);
            if (segment == "." || segment == "..") {
                return true;
            }
            start = i + 1;
        }
    }
    return false;
}

std::string_view PathExtension(std::string_view path) {
    const std::string_view name = LastComponent(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

bool HasExtension(std::string_view path, std::string_view extension) {
    const std::string_view ext = PathExtension(path);
    return EqualNoCase(ext, extension);
}

std::string_view StreamBasePath(std::string_view path) {
    const std::string_view ext = PathExtension(path);
    if (ext.size() < 2 || ext.find(':', 1) == std::string_view::npos) {
        return path;
    }
    return path.substr(0, path.rfind(':'));
}

std::string CanonicalizePath(std::string_view path) {
    if (!HasDotSegment(path)) {
        return std::string(path);
    }
    const std::size_t rootLength = RootLength(path);
    std::vector<std::string_view> kept;
    std::size_t start = rootLength;
    for (std::size_t i = rootLength; i <= path.size(); ++i) {
        if (i != path.size() && path[i] != '\\') {
            continue;
        }
        const std::string_view segment = path.substr(start, i - start);
        start = i + 1;
        if (segment == ".") {
            continue;
        }
        if (segment == "..") {
            if (!kept.empty()) {
                kept.pop_back();
            }
            continue;
        }
        kept.push_back(segment);
    }
    std::string out(path.substr(0, rootLength));
    for (std::size_t i = 0; i < kept.size(); ++i) {
        out += kept[i];
        if (i + 1 < kept.size()) {
            out.push_back('\\');
        }
    }
    // "C:\a\.." leaves the root; a trailing "\." or "\.." leaves no trailing backslash.
    return out;
}

}  // namespace vzrm
