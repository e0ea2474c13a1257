#include "core/config.h"

#include "core/config_defaults.h"
#include "core/exception.h"
#include "core/password.h"
#include "core/registry_key.h"
#include "core/singleton.h"
#include "core/version.h"

namespace {

const char kKeyPath[] = "Software\\Palisandre\\Mirelink";

vx::Str VersionMarker() { return vx::Str("ver-") + kMirelinkVersion; }

int32_t ReadNumber(const vxw::RegistryKey& key, const char* name, int32_t fallback) {
    int32_t number = 0;
    return key.QueryNumber(name, number) ? number : fallback;
}

bool ReadFlag(const vxw::RegistryKey& key, const char* name) { return ReadNumber(key, name, 0) == 1; }

vx::Str ReadText(const vxw::RegistryKey& key, const char* name) {
    vx::Str text;
    return key.QueryString(name, text) ? text : vx::Str();
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
        throw vx::Exception("Config::SaveConfig::SetValue - Error setting value - " + name + " - " + shown);
    }
    vxw::RegistryKey& key;
};

}  // namespace

Config::Config() { LoadConfig(); }

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

void Config::SaveConfig() {
    std::lock_guard<std::mutex> guard(lock);
    SaveLocked();
}

void Config::SetValues(const Values& newValues) {
    std::lock_guard<std::mutex> guard(lock);
    values = newValues;
    SaveLocked();
}

void Config::LoadLocked() {
    vxw::RegistryKey key;
    if (!key.Create(RootFor(useLocalMachine), kKeyPath)) {
        throw vx::Exception(vx::Str("Config::LoadConfig::Create - Error creating key - ") + kKeyPath);
    }
    portImapStored = key.HasValue("PortImap");
    if (!key.HasValue("Address")) {
        key.Close();
        firstRun = true;
        newVersion = true;
        values.address = "127.0.0.1";
        values.port = kDefaultPorts.pop;
        values.portSmtp = kDefaultPorts.smtp;
        values.portImap = kDefaultPorts.imapFirstRun;
        values.timeout = 120;
        values.delay = 10;
        values.checkOtherFolders = values.checkBulkFolder = values.checkSentFolder = false;
        values.extraLogging = values.operaCompat = false;
        // The proxy values stay: after UseLocalMachine they carry over from
        // the current user's settings.
        SaveLocked();
        return;
    }
    firstRun = false;
    newVersion = ReadNumber(key, VersionMarker().c_str(), 0) != 1;
    values.address = ReadText(key, "Address");
    values.port = ReadNumber(key, "Port", kDefaultPorts.pop);
    values.portSmtp = ReadNumber(key, "PortSmtp", kDefaultPorts.smtp);
    // Settings from before the IMAP service keep it off.
    values.portImap = ReadNumber(key, "PortImap", 0);
    values.timeout = ReadNumber(key, "Timeout", 120);
    values.delay = ReadNumber(key, "Delay", 10);
    values.checkOtherFolders = ReadFlag(key, "CheckOtherFolders");
    values.checkBulkFolder = ReadFlag(key, "CheckBulkFolder");
    values.checkSentFolder = ReadFlag(key, "CheckSentFolder");
    values.extraLogging = ReadFlag(key, "ExtraLogging");
    values.operaCompat = ReadFlag(key, "OperaCompat");
    values.proxyAddress = ReadText(key, "ProxyAddress");
    values.proxyPort = ReadNumber(key, "ProxyPort", 0);
    values.proxyUsername = ReadText(key, "ProxyUsername");
    values.proxyPassword = ReadText(key, "ProxyPassword");
    key.Close();
    // A clear-text password left by an older version is stored protected from now on.
    if (!vx::UnprotectPassword(values.proxyPassword)) SaveLocked();
}

void Config::SaveLocked() {
    vxw::RegistryKey key;
    if (!key.Create(RootFor(useLocalMachine), kKeyPath)) {
        throw vx::Exception(vx::Str("Config::SaveConfig::Create - Error creating key - ") + kKeyPath);
    }
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
    // The error text never carries the password itself: it ends up in the log.
    write.Text("ProxyPassword", vx::ProtectPassword(values.proxyPassword), "****");
    // The marker is always written as 1; a failure reports the in-memory flag.
    write.Number(VersionMarker(), 1, newVersion ? "1" : "0");
}

#define CONFIG_GETTER(Type, Name, field)            \
    Type Config::Name() const {                     \
        std::lock_guard<std::mutex> guard(lock);    \
        return values.field;                        \
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
    std::lock_guard<std::mutex> guard(lock);
    return values;
}
