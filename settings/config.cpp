#include "settings/config.h"

#include <algorithm>
#include <utility>

#include "core/exception.h"
#include "core/log.h"
#include "core/singleton.h"
#include "core/version.h"
#include "net/openssl.h"
#include "settings/config_check.h"
#include "settings/config_defaults.h"
#include "settings/config_fields.h"
#include "settings/password.h"
#include "settings/registry_key.h"

namespace {

const char kKeyPath[] = "Software\\Palisandre\\Mirelink";

vx::Str VersionMarker() { return vx::Str("ver-") + kMirelinkVersion; }

thread_local const Config::Values* pinnedValues = nullptr;

// Reads every setting of the table that the key holds, the way the narrow
// registry functions read it; a setting the key lacks keeps what values
// holds. True when a number was stored as something else.
bool ReadPresent(const vxw::RegistryKey& key, Config::Values& values) {
    for (size_t i = 0; i < kConfigFieldCount; ++i) {
        const ConfigField& field = kConfigFields[i];
        if (field.text == nullptr || !key.HasValue(field.name)) continue;
        // A value of another type reads as empty.
        if (!key.QueryString(field.name, values.*field.text)) (values.*field.text).clear();
    }
    return ReadNumbers(key, values);
}

vxw::RegistryKey::Access AccessFor(bool reload, bool readOnly) {
    using Access = vxw::RegistryKey::Access;
    return reload ? Access::Existing : readOnly ? Access::Read : Access::Create;
}

int32_t ReadNumberOf(const vxw::RegistryKey& key, const vx::Str& name, int32_t fallback) {
    int32_t number = 0;
    return key.QueryNumber(name, number) ? number : fallback;
}

vxw::RegistryKey::Root RootFor(bool useLocalMachine) {
    return useLocalMachine ? vxw::RegistryKey::Root::LocalMachine : vxw::RegistryKey::Root::CurrentUser;
}

// Writes values in order and stops at the first that fails, naming it.
class ValueWriter {
public:
    explicit ValueWriter(vxw::RegistryKey& key) : key(key) {}
    void Number(const vx::Str& name, int32_t number) { Number(name, number, std::to_string(number)); }
    void Number(const vx::Str& name, int32_t number, const vx::Str& shown) {
        if (!key.SetNumber(name, number)) Fail(name, shown);
    }
    void Text(const vx::Str& name, const vx::Str& text, const vx::Str& shown) {
        if (!key.SetString(name, text)) Fail(name, shown);
    }

private:
    [[noreturn]] void Fail(const vx::Str& name, const vx::Str& shown) {
        throw vx::Exception("Config::SaveConfig::SetValue - Error setting value - " + name + " - " + shown +
                            key.FailureDetail());
    }
    vxw::RegistryKey& key;
};

}  // namespace

Config::Config() {
    // The password cipher's library is started here, under the singleton lock
    // that creates the settings, never later under the settings' own lock
    // (that order would be the reverse of this one).
    vxw::OpenSsl::Instance();
    LoadConfig();
}

Config::Config(ReadOnly store) : useLocalMachine(store.localMachine), readOnly(true) {
    vxw::OpenSsl::Instance();
    LoadConfig();
}

Config& Config::Instance() { return qn::Singleton<Config>::Instance(); }

vx::Str Config::GetVersion() { return kMirelinkVersion; }

void Config::UseLocalMachine() {
    std::lock_guard<std::mutex> guard(lock);
    useLocalMachine = true;
    LoadLocked();
}

bool Config::TakeFirstRunFlag() {
    std::lock_guard<std::mutex> guard(lock);
    bool was = firstRun;
    firstRun = false;
    return was;
}

bool Config::TakeNewVersionFlag() {
    std::lock_guard<std::mutex> guard(lock);
    if (!newVersion) return false;
    newVersion = false;
    SaveLocked();
    return true;
}

void Config::LoadConfig() {
    std::lock_guard<std::mutex> guard(lock);
    LoadLocked();
}

void Config::ReloadConfig() {
    std::lock_guard<std::mutex> guard(lock);
    LoadLocked(Load::Reload);
}

void Config::SaveConfig() {
    std::lock_guard<std::mutex> guard(lock);
    SaveLocked();
}

void Config::SetValues(const Values& newValues) {
    std::lock_guard<std::mutex> guard(lock);
    values = newValues;
    vx::Str failure = SaveLocked();
    if (!failure.empty()) throw vx::Exception(failure);
}

void Config::LoadLocked(Load how) {
    vxw::RegistryKey key;
    key.SetAccess(AccessFor(how == Load::Reload, readOnly));
    if (!key.Create(RootFor(useLocalMachine), kKeyPath)) {
        throw vx::Exception(vx::Str("Config::LoadConfig::Create - Error creating key - ") + kKeyPath +
                            key.FailureDetail());
    }
    LogNotices(key);
    portImapStored = key.HasValue("PortImap");
    firstRun = !key.HasValue("Address");
    bool rewrite = false;
    if (firstRun) {
        newVersion = true;
        values.address = "127.0.0.1";
        values.port = kDefaultPorts.pop;
        values.portSmtp = kDefaultPorts.smtp;
        values.portImap = kDefaultPorts.imapFirstRun;
        values.timeout = 120;
        values.delay = 10;
        values.checkOtherFolders = values.checkBulkFolder = values.checkSentFolder = false;
        values.extraLogging = values.operaCompat = false;
        // The proxy values stay: after UseLocalMachine they carry over from the
        // current user's settings. What the key holds without an address (a
        // file a user began by hand) is kept, not overwritten by defaults.
        ReadPresent(key, values);
    } else {
        LoadExisting(key, rewrite);
    }
    storedPassword = values.proxyPassword;
    // Only a password the store holds needs protecting: a store without one
    // is not rewritten at every start.
    bool clearText = ReadPassword() && key.HasValue("ProxyPassword");
    storedClear = values.proxyPassword;
    key.Close();
    // A first run stores the defaults; a clear-text password left by an older
    // version is stored protected from now on; numbers written as text are
    // stored as the numbers used. Why a password could not be protected is
    // in the log; the start goes on.
    if (!readOnly && (firstRun || clearText || rewrite)) SaveLocked();
}

void Config::LoadExisting(const vxw::RegistryKey& key, bool& rewrite) {
    LogStoreProblems(key);
    newVersion = ReadNumberOf(key, VersionMarker(), 0) != 1;
    Values read;
    read.port = kDefaultPorts.pop;
    read.portSmtp = kDefaultPorts.smtp;
    read.portImap = 0;  // settings from before the IMAP service keep it off
    read.timeout = 120;
    rewrite = ReadPresent(key, read);
    CorrectUnusable(key, read);
    values = read;
}

void Config::LogNotices(vxw::RegistryKey& key) {
    std::vector<vx::Str> notices = key.TakeNotices();
    // A save right after a load opens the same file again: what the load
    // said of it is not said twice.
    for (const vx::Str& notice : notices) {
        if (std::find(lastNotices.begin(), lastNotices.end(), notice) == lastNotices.end()) Log(notice);
    }
    lastNotices = std::move(notices);
}

bool Config::ReadPassword() {
    try {
        return !vx::UnprotectPassword(values.proxyPassword);
    } catch (const vx::Exception& e) {
        // Kept as stored (a save writes it back unchanged); the proxy gets an
        // empty password, and the log says why.
        values.proxyPassword.clear();
        Log("Config::LoadConfig::ProxyPassword - " + e.Message());
        return false;
    }
}

vx::Str Config::SaveLocked() {
    vxw::RegistryKey key;
    if (!key.Create(RootFor(useLocalMachine), kKeyPath)) {
        throw vx::Exception(vx::Str("Config::SaveConfig::Create - Error creating key - ") + kKeyPath +
                            key.FailureDetail());
    }
    LogNotices(key);
    ValueWriter write(key);
    write.Text("Address", values.address, values.address);
    write.Number("Port", values.port);
    write.Number("PortSmtp", values.portSmtp);
    // Absent means off: a store that never had IMAP is not given the value.
    if (values.portImap != 0 || portImapStored) {
        write.Number("PortImap", values.portImap);
        portImapStored = true;
    }
    write.Number("Timeout", values.timeout);
    write.Number("Delay", values.delay);
    write.Number("CheckOtherFolders", values.checkOtherFolders);
    write.Number("CheckBulkFolder", values.checkBulkFolder);
    write.Number("CheckSentFolder", values.checkSentFolder);
    write.Number("ExtraLogging", values.extraLogging);
    write.Number("OperaCompat", values.operaCompat);
    write.Text("ProxyAddress", values.proxyAddress, values.proxyAddress);
    write.Number("ProxyPort", values.proxyPort);
    write.Text("ProxyUsername", values.proxyUsername, values.proxyUsername);
    vx::Str failure;
    vx::Str stored = PasswordToStore(failure);
    if (failure.empty()) {
        // The error text never carries the password itself: it ends up in the log.
        write.Text("ProxyPassword", stored, "****");
        storedPassword = stored;
        storedClear = values.proxyPassword;
    }
    // The marker is always written as 1; a failure reports the in-memory flag.
    write.Number(VersionMarker(), 1, newVersion ? "1" : "0");
    return failure;
}

vx::Str Config::PasswordToStore(vx::Str& failure) const {
    // Unchanged: the stored form as it is, also one that could not be read.
    if (storedPassword.compare(0, 5, " ~ ~ ") == 0 && values.proxyPassword == storedClear)
        return storedPassword;
    try {
        return vx::ProtectPassword(values.proxyPassword);
    } catch (const vx::Exception& e) {
        // Never replaced by a form that reads back as an empty password.
        failure = "Config::SaveConfig::ProxyPassword - The proxy password cannot be stored protected; "
                  "the store keeps what it holds - " + e.Message();
        Log(failure);
        return vx::Str();
    }
}

Config::Pin::Pin(Values pinned) : values(std::move(pinned)), previous(pinnedValues) { pinnedValues = &values; }

Config::Pin::~Pin() { pinnedValues = previous; }

const Config::Values* Config::Pinned() { return pinnedValues; }

#define CONFIG_GETTER(Type, Name, field)                       \
    Type Config::Name() const {                                \
        if (const Values* pinned = Pinned()) return pinned->field; \
        std::lock_guard<std::mutex> guard(lock);               \
        return values.field;                                   \
    }
CONFIG_GETTER(vx::Str, Address, address)
CONFIG_GETTER(int32_t, Port, port)
CONFIG_GETTER(int32_t, PortSmtp, portSmtp)
CONFIG_GETTER(int32_t, PortImap, portImap)
CONFIG_GETTER(int32_t, Timeout, timeout)
CONFIG_GETTER(int32_t, Delay, delay)
CONFIG_GETTER(bool, CheckOtherFolders, checkOtherFolders)
CONFIG_GETTER(bool, CheckBulkFolder, checkBulkFolder)
CONFIG_GETTER(bool, CheckSentFolder, checkSentFolder)
CONFIG_GETTER(bool, ExtraLogging, extraLogging)
CONFIG_GETTER(bool, OperaCompat, operaCompat)
CONFIG_GETTER(vx::Str, ProxyAddress, proxyAddress)
CONFIG_GETTER(int32_t, ProxyPort, proxyPort)
CONFIG_GETTER(vx::Str, ProxyUsername, proxyUsername)
CONFIG_GETTER(vx::Str, ProxyPassword, proxyPassword)
#undef CONFIG_GETTER

Config::Values Config::GetValues() const {
    if (const Values* pinned = Pinned()) return *pinned;
    std::lock_guard<std::mutex> guard(lock);
    return values;
}

namespace vxw {

int32_t ConfiguredTimeoutMs() {
    int64_t ms = int64_t{Config::Instance().Timeout()} * 1000;
    return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(ms, 0), INT32_MAX));
}

}  // namespace vxw
