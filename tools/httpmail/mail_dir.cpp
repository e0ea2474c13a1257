#include "tools/httpmail/mail_dir.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/httpmail/file_time.h"
#include "tools/httpmail/iso_time.h"
#include "tools/httpmail/text_util.h"

namespace httpmail {

namespace fs = std::filesystem;

namespace {
const char kAccountFile[] = "account";
const uintmax_t kMaxMessageSize = 256u << 20;

struct SchemeName {
    const char* name;
    unsigned schemes;
};
const SchemeName kSchemeNames[] = {{"basic", kBasic}, {"digest", kDigest}, {"any", kAnyScheme}};

void Warn(const std::string& text) {
    std::fprintf(stderr, "mirelink-httpmail: %s\n", text.c_str());
}

std::vector<fs::path> SortedEntries(const fs::path& dir, bool directories) {
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        if (directories ? it->is_directory(error) : it->is_regular_file(error))
            entries.push_back(it->path());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

bool ReadFile(const fs::path& file, std::string& out) {
    std::error_code error;
    if (fs::file_size(file, error) > kMaxMessageSize || error) return false;
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return bool(in) || in.eof();
}

bool ReadAccountFile(const fs::path& file, Account& account, std::string& error) {
    std::string text;
    if (!ReadFile(file, text)) {
        error = file.string() + ": cannot read";
        return false;
    }
    std::istringstream lines(text);
    std::string line;
    bool havePassword = false;
    while (std::getline(lines, line)) {
        const std::string_view trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        const size_t eq = trimmed.find('=');
        const std::string key = ToLower(Trim(trimmed.substr(0, eq)));
        const std::string value(eq == std::string_view::npos ? "" : Trim(trimmed.substr(eq + 1)));
        const auto scheme = std::find_if(std::begin(kSchemeNames), std::end(kSchemeNames),
                                         [&](const SchemeName& s) { return value == s.name; });
        if (key == "password" && eq != std::string_view::npos) {
            account.password = value;
            havePassword = true;
        } else if (key == "auth" && scheme != std::end(kSchemeNames)) {
            account.schemes = scheme->schemes;
        } else {
            error = file.string() + ": cannot read the line '" + line + "'";
            return false;
        }
    }
    if (!havePassword) error = file.string() + ": no password line";
    return havePassword;
}

void LoadFolder(const fs::path& dir, bool writeBack, Folder& folder) {
    if (writeBack) folder.dir = dir.string();
    for (const fs::path& file : SortedEntries(dir, false)) {
        if (!IEquals(file.extension().string(), ".eml")) continue;
        std::string text;
        if (!ReadFile(file, text)) {
            Warn(file.string() + ": cannot read, or larger than 256 MiB; left out");
            continue;
        }
        int64_t received = 0;
        if (!FileModified(file.string(), received)) received = NowUtc();
        folder.messages.push_back({"", std::make_shared<const std::string>(ToCrLf(text)),
                                   writeBack ? file.string() : std::string(), false, received});
    }
}

bool LoadAccount(const fs::path& dir, bool writeBack, Account& account, std::string& error) {
    account = MakeAccount(ToLower(dir.filename().string()), "", kAnyScheme);
    if (!ReadAccountFile(dir / kAccountFile, account, error)) return false;
    if (writeBack) account.dir = dir.string();
    for (size_t i = 0; i < std::size(kSpecialFolders); ++i)
        LoadFolder(dir / kSpecialFolders[i].segment, writeBack, account.folders[i]);
    for (const fs::path& sub : SortedEntries(dir / kUserFoldersSegment, true))
        LoadFolder(sub, writeBack, AddUserFolder(account, FolderNameOfDir(sub.filename().string())));
    return true;
}

bool WriteFile(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    return bool(out);
}

const char* SchemeText(unsigned schemes) {
    for (const SchemeName& s : kSchemeNames)
        if (s.schemes == schemes) return s.name;
    return "any";
}

fs::path FolderDir(const fs::path& accountDir, const Folder& folder) {
    fs::path dir = accountDir;
    for (const std::string& segment : folder.segments) dir /= FolderDirName(segment);
    return dir;
}
}  // namespace

bool LoadMailDir(const std::string& root, bool writeBack, std::vector<Account>& accounts,
                 std::string& error) {
    accounts.clear();
    if (!fs::is_directory(root)) {
        error = root + ": not a folder";
        return false;
    }
    for (const fs::path& dir : SortedEntries(root, true)) {
        Account account;
        std::string problem;
        if (LoadAccount(dir, writeBack, account, problem))
            accounts.push_back(std::move(account));
        else
            Warn(problem + "; account left out");
    }
    if (accounts.empty()) error = root + ": no account folder with an account file";
    return !accounts.empty();
}

bool ExportMailDir(const std::vector<Account>& accounts, const std::string& root,
                   std::string& error) {
    for (const Account& account : accounts) {
        const fs::path dir = fs::path(root) / account.name;
        std::error_code code;
        if (fs::exists(dir / kAccountFile, code)) {
            error = (dir / kAccountFile).string() + " exists already";
            return false;
        }
        for (const Folder& folder : account.folders) {
            const fs::path folderDir = FolderDir(dir, folder);
            fs::create_directories(folderDir, code);
            char name[32];
            for (size_t i = 0; i < folder.messages.size(); ++i) {
                std::snprintf(name, sizeof name, "%03zu.eml", i + 1);
                if (!WriteFile(folderDir / name, *folder.messages[i].source)) {
                    error = (folderDir / name).string() + ": cannot write";
                    return false;
                }
                // Loaded again, the message arrives when it did here.
                SetFileModified((folderDir / name).string(), folder.messages[i].received);
            }
        }
        const std::string accountText =
            "password = " + account.password + "\nauth = " + SchemeText(account.schemes) + "\n";
        if (!WriteFile(dir / kAccountFile, accountText)) {
            error = (dir / kAccountFile).string() + ": cannot write";
            return false;
        }
    }
    return true;
}

}  // namespace httpmail
