// The settings store as a .reg file. Every write rewrites the whole file
// through a temporary file and a rename, with mode 0600 (it holds the proxy
// password), so a crash never leaves half a file behind.
#include "settings/registry_key_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <mutex>

#include "core/dir_util.h"
#include "core/dir_util_posix.h"
#include "core/file_util.h"
#include "settings/reg_file.h"

namespace vxw {
namespace {

std::mutex chosenLock;
vx::Str chosenFile;  // under chosenLock; empty: the usual file

vx::Str SystemWords(int error) { return std::strerror(error); }

vx::Str Detail(const vx::Str& file, int error) { return " - " + file + " - " + SystemWords(error); }

// Returns 0, or the errno of the step that failed.
int WriteWhole(const vx::Str& path, const vx::Str& bytes) {
    vx::Str temporary = path + ".tmp";
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (error == 0 && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) unlink(temporary.c_str());
    return error;
}

vx::Str Folder(const vx::Str& file) { return file.substr(0, file.rfind('/') + 1); }

}  // namespace

void UseSettingsFile(const vx::Str& path) {
    std::lock_guard<std::mutex> guard(chosenLock);
    chosenFile = path;
}

vx::Str SettingsFilePath(RegistryKey::Root root) {
    if (root == RegistryKey::Root::LocalMachine) return "/etc/Palisandre/Mirelink.reg";
    {
        std::lock_guard<std::mutex> guard(chosenLock);
        if (!chosenFile.empty()) return chosenFile;
    }
    return DirUtil::XdgFolder("XDG_CONFIG_HOME", ".config") + "/Palisandre/Mirelink.reg";
}

struct RegistryKey::Impl {
    vx::Str file;     // path of the .reg file
    vx::Str section;  // "HKEY_CURRENT_USER\\Software\\..."
    RegFile document;

    const RegValue* Find(const vx::Str& name) const { return document.Find(section, name); }
    vx::Str Where(size_t line) const { return file + ":" + std::to_string(line); }
    bool Set(const vx::Str& name, const RegValue& value, vx::Str& failure) {
        RegFile changed = document;
        changed.Set(section, name, value);
        if (int error = WriteWhole(file, changed.Serialize())) {
            failure = Detail(file + ".tmp", error);
            return false;
        }
        document = std::move(changed);
        return true;
    }
};

RegistryKey::RegistryKey() = default;
RegistryKey::~RegistryKey() = default;

bool RegistryKey::Create(Root root, const vx::Str& path) {
    Close();
    auto opened = std::make_unique<Impl>();
    opened->file = SettingsFilePath(root);
    opened->section = vx::Str(RootName(root)) + "\\" + path;
    if (access == Access::Create) {
        try {
            DirUtil::CreatePath(Folder(opened->file));
        } catch (...) {
            failure = Detail(Folder(opened->file), errno);
            return false;
        }
    }
    struct stat info;
    if (stat(opened->file.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) {
            failure = Detail(opened->file, EISDIR);
            return false;
        }
        if (!Read(*opened)) return false;
    } else if (access != Access::Create && (errno != ENOENT || access == Access::Existing)) {
        // Only a start makes the file; a reload must not take its absence
        // for a first start, and a reader must not take a folder it cannot
        // search for an empty store.
        failure = Detail(opened->file, errno);
        return false;
    }
    impl = std::move(opened);
    failure.clear();
    return true;
}

bool RegistryKey::Read(Impl& opened) {
    vx::Str bytes;
    if (!LoadFile(opened.file, bytes)) {
        failure = Detail(opened.file, errno);
        return false;
    }
    opened.document = RegFile::Parse(bytes);
    if (!opened.document.Readable()) {
        if (access == Access::Existing) {
            failure = " - " + opened.file + " - No settings file: its bytes cannot be read as one";
            return false;
        }
        // Starting afresh on top of it would keep the bytes and append the
        // defaults; aside, the user can still look at what it held.
        vx::Str aside = opened.file + ".unreadable";
        if (rename(opened.file.c_str(), aside.c_str()) != 0) {
            failure = Detail(opened.file, errno);
            return false;
        }
        opened.document = RegFile();
        notices.push_back("vxw::RegistryKey::Create::Unreadable - The settings file could not be read "
                          "and was moved aside - " + opened.file + " - " + aside);
    } else if (opened.document.AdoptLooseValues(opened.section)) {
        notices.push_back("vxw::RegistryKey::Create::NoKey - The settings file has values but no key "
                          "line; they are read as the key's - " + opened.file + " - [" + opened.section + "]");
    }
    return true;
}

void RegistryKey::Close() { impl.reset(); }

bool RegistryKey::HasValue(const vx::Str& name) const { return impl && impl->Find(name) != nullptr; }

bool RegistryKey::QueryNumber(const vx::Str& name, int32_t& number) const {
    const RegValue* value = impl ? impl->Find(name) : nullptr;
    if (value == nullptr || value->data.size() > 4) return false;
    unsigned char bytes[4] = {0, 0, 0, 0};
    std::memcpy(bytes, value->data.data(), value->data.size());
    number = static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                                  static_cast<uint32_t>(bytes[2]) << 16 |
                                  static_cast<uint32_t>(bytes[3]) << 24);
    return true;
}

bool RegistryKey::QueryString(const vx::Str& name, vx::Str& text) const {
    const RegValue* value = impl ? impl->Find(name) : nullptr;
    if (value == nullptr || (value->type != kRegSz && value->type != kRegExpandSz)) return false;
    text = value->data.substr(0, value->data.find('\0'));
    return true;
}

bool RegistryKey::SetNumber(const vx::Str& name, int32_t number) {
    return impl && impl->Set(name, RegFile::Dword(static_cast<uint32_t>(number)), failure);
}

bool RegistryKey::SetString(const vx::Str& name, const vx::Str& text) {
    return impl && impl->Set(name, RegFile::String(text), failure);
}

std::vector<RegistryKey::ValueInfo> RegistryKey::Values() const {
    std::vector<ValueInfo> values;
    if (!impl) return values;
    for (const vx::Str& name : impl->document.Names(impl->section)) {
        values.push_back({name, impl->Find(name)->type, impl->Where(impl->document.LineOf(impl->section, name))});
    }
    return values;
}

std::vector<RegistryKey::Unreadable> RegistryKey::UnreadableLines() const {
    std::vector<Unreadable> lines;
    if (!impl) return lines;
    for (const RegFile::Unreadable& line : impl->document.UnreadableLines(impl->section))
        lines.push_back({impl->Where(line.line), line.text});
    return lines;
}

}  // namespace vxw
