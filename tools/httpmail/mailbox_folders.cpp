// The changes a mail client makes to the user folders of an account.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tools/httpmail/mailbox.h"
#include "tools/httpmail/text_util.h"

namespace httpmail {

namespace fs = std::filesystem;

namespace {
std::vector<Folder>::iterator FolderAt(Account& account, const std::vector<std::string>& segments) {
    return std::find_if(account.folders.begin(), account.folders.end(),
                        [&](const Folder& f) { return f.segments == segments; });
}

void Warn(const std::string& text, const std::error_code& error) {
    std::fprintf(stderr, "mirelink-httpmail: %s: %s\n", text.c_str(), error.message().c_str());
}

// Its messages' files go; its directory too, unless something else is left in it.
void RemoveFolderFiles(const Folder& folder) {
    if (folder.dir.empty()) return;
    std::error_code error;
    for (const Message& message : folder.messages)
        if (!message.file.empty()) fs::remove(message.file, error);
    if (!fs::remove(folder.dir, error) && error) Warn("cannot remove " + folder.dir, error);
}
}  // namespace

bool IsUserFolderPlace(const std::vector<std::string>& segments) {
    return segments.size() == 2 && segments[0] == kUserFoldersSegment;
}

bool IsUsableFolderName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name[0] == '.' || ValidUtf8(name) != name ||
        name.front() == '/' || name.back() == '/' || name.find("//") != std::string::npos)
        return false;
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '\\') return false;
    return true;
}

std::string FolderDirName(const std::string& name) {
    std::string out;
    for (char c : name) out += c == '/' ? "%2F" : c == '%' ? "%25" : std::string(1, c);
    return out;
}

std::string FolderNameOfDir(const std::string& dirName) {
    std::string out;
    for (size_t i = 0; i < dirName.size(); ++i) {
        std::string escape = ToLower(dirName.substr(i, 3));
        if (escape == "%2f" || escape == "%25") {
            out += escape == "%2f" ? '/' : '%';
            i += 2;
        } else {
            out += dirName[i];
        }
    }
    return out;
}

FolderOutcome Mailbox::MakeFolder(const std::string& name, const std::string& folderName) {
    std::lock_guard<std::mutex> guard(lock);
    Account* account = Find(name);
    if (!account) return FolderOutcome::Missing;
    if (!IsUsableFolderName(folderName)) return FolderOutcome::BadName;
    if (FolderAt(*account, {kUserFoldersSegment, folderName}) != account->folders.end())
        return FolderOutcome::Exists;
    std::string dir;
    if (!account->dir.empty()) {
        dir = (fs::path(account->dir) / kUserFoldersSegment / FolderDirName(folderName)).string();
        std::error_code error;
        fs::create_directories(dir, error);
        if (error) {
            Warn("cannot make " + dir, error);
            return FolderOutcome::NotWritten;
        }
    }
    AddUserFolder(*account, folderName).dir = dir;
    return FolderOutcome::Done;
}

FolderOutcome Mailbox::RenameFolder(const std::string& name,
                                    const std::vector<std::string>& segments,
                                    const std::string& newName) {
    std::lock_guard<std::mutex> guard(lock);
    Account* account = Find(name);
    if (!account) return FolderOutcome::Missing;
    const auto folder = FolderAt(*account, segments);
    if (folder == account->folders.end()) return FolderOutcome::Missing;
    if (!folder->special.empty()) return FolderOutcome::Special;
    if (!IsUsableFolderName(newName)) return FolderOutcome::BadName;
    if (FolderAt(*account, {kUserFoldersSegment, newName}) != account->folders.end())
        return FolderOutcome::Exists;
    if (!folder->dir.empty()) {
        const fs::path dir = fs::path(folder->dir).parent_path() / FolderDirName(newName);
        std::error_code error;
        fs::rename(folder->dir, dir, error);
        if (error) {
            Warn("cannot rename " + folder->dir + " to " + dir.string(), error);
            return FolderOutcome::NotWritten;
        }
        folder->dir = dir.string();
        for (Message& message : folder->messages)
            if (!message.file.empty())
                message.file = (dir / fs::path(message.file).filename()).string();
    }
    folder->segments = {kUserFoldersSegment, newName};
    folder->displayName = newName;
    return FolderOutcome::Done;
}

FolderOutcome Mailbox::DeleteFolder(const std::string& name,
                                    const std::vector<std::string>& segments) {
    std::lock_guard<std::mutex> guard(lock);
    Account* account = Find(name);
    if (!account) return FolderOutcome::Missing;
    const auto folder = FolderAt(*account, segments);
    if (folder == account->folders.end()) return FolderOutcome::Missing;
    if (!folder->special.empty()) return FolderOutcome::Special;
    RemoveFolderFiles(*folder);
    account->folders.erase(folder);
    return FolderOutcome::Done;
}

}  // namespace httpmail
