#include "platform/FileSearch.h"

#include <algorithm>
#include <system_error>
#include <unistd.h>

namespace rdv {

namespace fs = std::filesystem;

std::string LowerCase(std::string text) {
    for (auto& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && LowerCase(a) == LowerCase(b);
}

fs::path ProgramFolder() {
    std::error_code ec;
    auto exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return fs::current_path(ec);
    return exe.parent_path();
}

namespace {

std::vector<std::string> SplitComponents(const std::string& relative) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : relative) {
        if (c == '\\' || c == '/') {
            if (!part.empty() && part != ".") parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty() && part != ".") parts.push_back(part);
    return parts;
}

// The entry of `dir` named `name` ignoring case; the exact spelling wins,
// otherwise the first in byte order.
std::optional<std::string> FindEntry(const fs::path& dir, const std::string& name) {
    std::error_code ec;
    if (fs::exists(dir / name, ec)) return name;
    std::optional<std::string> best;
    const std::string want = LowerCase(name);
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (LowerCase(entry) == want && (!best || entry < *best)) best = entry;
    }
    return best;
}

} // namespace

fs::path ResolveNoCase(const fs::path& base, const std::string& relative) {
    fs::path current = base;
    bool existing = true;
    for (const auto& part : SplitComponents(relative)) {
        if (existing) {
            if (auto found = FindEntry(current, part)) {
                current /= *found;
                continue;
            }
            existing = false;
        }
        current /= part;
    }
    return current;
}

bool ExistsNoCase(const fs::path& base, const std::string& relative) {
    std::error_code ec;
    return fs::exists(ResolveNoCase(base, relative), ec);
}

std::vector<fs::path> FindStemMatches(const fs::path& folder, const std::string& stem) {
    std::vector<std::string> names;
    const std::string bare = LowerCase(stem);
    const std::string want = bare + ".";
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fec;
        if (!it->is_regular_file(fec)) continue;
        std::string name = it->path().filename().string();
        // "name.*" also takes a file called just "name".
        const std::string lower = LowerCase(name);
        if (lower == bare || lower.compare(0, want.size(), want) == 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::vector<fs::path> result;
    for (auto& n : names) result.push_back(folder / n);
    return result;
}

std::string ExtensionLower(const fs::path& path) {
    std::string ext = path.extension().string();
    if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
    return LowerCase(ext);
}

} // namespace rdv
