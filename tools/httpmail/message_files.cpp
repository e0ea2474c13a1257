#include "tools/httpmail/message_files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "tools/httpmail/file_time.h"
#include "tools/httpmail/text_util.h"

namespace httpmail {

namespace fs = std::filesystem;

namespace {
void Warn(const std::string& text) {
    std::fprintf(stderr, "mirelink-httpmail: %s\n", text.c_str());
}

// A name in `dir` that no file has yet: `name`, else its stem with -2, -3, ...
fs::path FreePath(const fs::path& dir, const fs::path& name) {
    std::error_code error;
    fs::path target = dir / name;
    for (int n = 2; fs::exists(target, error); ++n)
        target = dir / (name.stem().string() + "-" + std::to_string(n) + name.extension().string());
    return target;
}

// An id comes from a URL and may hold anything a percent escape can carry,
// "/" and ".." among them: only plain characters reach the file name.
fs::path FileNameFor(const std::string& id) {
    std::string name;
    for (char c : id) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' ||
                           (c == '.' && !name.empty());
        name += plain ? c : '_';
    }
    if (name.size() > 200) name.resize(200);
    if (name.size() < 4 || !IEquals(name.substr(name.size() - 4), ".eml")) name += ".eml";
    return name;
}
}  // namespace

std::string MoveMessageFile(const std::string& file, const std::string& dir, bool keep) {
    std::error_code error;
    fs::create_directories(dir, error);
    const fs::path target = FreePath(dir, fs::path(file).filename());
    if (keep)
        fs::copy_file(file, target, error);
    else
        fs::rename(file, target, error);
    if (error) {
        Warn("cannot " + std::string(keep ? "copy " : "move ") + file + " to " + target.string() +
             ": " + error.message());
        return keep ? std::string() : file;
    }
    return target.string();
}

std::string WriteMessageFile(const std::string& dir, const std::string& id,
                             const std::string& source, int64_t received) {
    std::error_code error;
    fs::create_directories(dir, error);
    const fs::path target = FreePath(dir, FileNameFor(id));
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out << source;
    out.close();
    if (!out) {
        Warn("cannot write " + target.string());
        fs::remove(target, error);
        return {};
    }
    SetFileModified(target.string(), received);
    return target.string();
}

}  // namespace httpmail
