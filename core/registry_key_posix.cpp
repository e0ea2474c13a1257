// The settings store as a .reg file. Every write rewrites the whole file
// through a temporary file and a rename, with mode 0600 (it holds the proxy
// password), so a crash never leaves half a file behind.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "core/dir_util.h"
#include "core/dir_util_posix.h"
#include "core/file_util.h"
#include "core/reg_file.h"
#include "core/registry_key.h"

namespace vxw {
namespace {

vx::Str StoreFolder(RegistryKey::Root root) {
    if (root == RegistryKey::Root::LocalMachine) return "/etc/Palisandre";
    return DirUtil::XdgFolder("XDG_CONFIG_HOME", ".config") + "/Palisandre";
}

bool WriteWhole(const vx::Str& path, const vx::Str& bytes) {
    vx::Str temporary = path + ".tmp";
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    bool ok = done == bytes.size() && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok && rename(temporary.c_str(), path.c_str()) == 0) return true;
    unlink(temporary.c_str());
    return false;
}

}  // namespace

struct RegistryKey::Impl {
    vx::Str file;     // path of the .reg file
    vx::Str section;  // "HKEY_CURRENT_USER\\Software\\..."
    RegFile document;

    const RegValue* Find(const vx::Str& name) const { return document.Find(section, name); }
    bool Set(const vx::Str& name, const RegValue& value) {
        RegFile changed = document;
        changed.Set(section, name, value);
        if (!WriteWhole(file, changed.Serialize())) return false;
        document = std::move(changed);
        return true;
    }
};

RegistryKey::RegistryKey() = default;
RegistryKey::~RegistryKey() = default;

const char* RegistryKey::RootName(Root root) {
    return root == Root::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

bool RegistryKey::Create(Root root, const vx::Str& path) {
    Close();
    auto opened = std::make_unique<Impl>();
    vx::Str folder = StoreFolder(root);
    opened->file = folder + "/Mirelink.reg";
    opened->section = vx::Str(RootName(root)) + "\\" + path;
    try {
        DirUtil::CreatePath(folder);
    } catch (...) {
        return false;
    }
    struct stat info;
    if (stat(opened->file.c_str(), &info) == 0) {
        vx::Str bytes;
        if (!S_ISREG(info.st_mode) || !LoadFile(opened->file, bytes)) return false;
        opened->document = RegFile::Parse(bytes);
    }
    impl = std::move(opened);
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
    return impl && impl->Set(name, RegFile::Dword(static_cast<uint32_t>(number)));
}

bool RegistryKey::SetString(const vx::Str& name, const vx::Str& text) {
    return impl && impl->Set(name, RegFile::String(text));
}

}  // namespace vxw
