#pragma once
// Every user setting of the program, kept under the key
// "Software\\Palisandre\\Mirelink" of the settings store (registry_key.h),
// below HKEY_CURRENT_USER or, after UseLocalMachine, HKEY_LOCAL_MACHINE.
// Any thread may read; the options replace all values at once with SetValues.
// Values sit behind a lock so a string is never read half replaced.
#include <cstdint>
#include <mutex>
#include <vector>

#include "core/str.h"

namespace vxw {
class RegistryKey;
}

class Config {
public:
    struct Values {
        vx::Str address;
        int32_t port = 110;
        int32_t portSmtp = 25;
        int32_t portImap = 0;  // 0: no IMAP service
        int32_t timeout = 0;  // seconds
        int32_t delay = 10;   // milliseconds
        bool checkOtherFolders = false;
        bool checkBulkFolder = false;
        bool checkSentFolder = false;
        bool extraLogging = false;
        bool operaCompat = false;
        vx::Str proxyAddress;
        int32_t proxyPort = 0;
        vx::Str proxyUsername;
        vx::Str proxyPassword;  // clear text in memory
    };

    // Loads at once; throws what LoadConfig throws.
    Config();
    // Reads the store of the current user, or of the machine, and writes
    // nothing: no folder, no first-start defaults, no password protected
    // anew (what --get needs). A store that does not exist reads as the
    // defaults. Throws what LoadConfig throws.
    struct ReadOnly {
        bool localMachine = false;
    };
    explicit Config(ReadOnly store);
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    // The process-wide settings, created and loaded on first use.
    static Config& Instance();

    static vx::Str GetVersion();

    void UseLocalMachine();
    bool UsesLocalMachine() const { return useLocalMachine; }
    bool TakeFirstRunFlag();
    bool TakeNewVersionFlag();

    vx::Str Address() const;
    int32_t Port() const;
    int32_t PortSmtp() const;
    int32_t PortImap() const;
    int32_t Timeout() const;
    int32_t Delay() const;
    bool CheckOtherFolders() const;
    bool CheckBulkFolder() const;
    bool CheckSentFolder() const;
    bool ExtraLogging() const;
    bool OperaCompat() const;
    vx::Str ProxyAddress() const;
    int32_t ProxyPort() const;
    vx::Str ProxyUsername() const;
    vx::Str ProxyPassword() const;
    Values GetValues() const;

    // Assigns every value and saves them. When the proxy password cannot
    // be stored protected, every other value is saved, the store keeps the
    // password it held, and this throws saying so.
    void SetValues(const Values& newValues);

    // Both throw vx::Exception (code 0) with the place-first texts. What a
    // load finds wrong in the store (a value it cannot read or does not
    // know, an unusable address or time-out, a password it cannot read) is
    // logged with the value's place, and the value is read as the program
    // can use it.
    void LoadConfig();
    void SaveConfig();
    // Reads the store again while the program runs. A store that is gone or
    // cannot be read at all throws, and the values in use stay as they were;
    // nothing is moved aside (only a start does that).
    void ReloadConfig();

    // The values one session started with. While a Pin lives on a thread,
    // every getter called on that thread answers from it, so that a reload
    // meanwhile never changes a session halfway (a proxy, a time-out).
    class Pin {
    public:
        explicit Pin(Values values);
        ~Pin();
        Pin(const Pin&) = delete;
        Pin& operator=(const Pin&) = delete;

    private:
        Values values;
        const Values* previous;
    };

private:
    enum class Load { Start, Reload, ReadOnly };
    void LoadLocked(Load how = Load::Start);
    void LoadExisting(const vxw::RegistryKey& key, bool& rewrite);
    void LogNotices(vxw::RegistryKey& key);
    // The values pinned on the calling thread, or null.
    static const Values* Pinned();
    // Returns why the proxy password could not be stored, or empty.
    vx::Str SaveLocked();
    // Decrypts the password read; true when it was stored in clear text.
    bool ReadPassword();
    vx::Str PasswordToStore(vx::Str& failure) const;

    mutable std::mutex lock;
    bool firstRun = false;
    bool newVersion = false;
    bool useLocalMachine = false;
    bool readOnly = false;
    bool portImapStored = false;  // PortImap is written once the store has held it
    vx::Str storedPassword;       // the proxy password as the store holds it
    vx::Str storedClear;          // what that reads as
    std::vector<vx::Str> lastNotices;  // what the last opening of the store said
    Values values;
};

namespace vxw {

// The configured Timeout (seconds) in milliseconds, kept within what a wait
// can take however large the setting.
int32_t ConfiguredTimeoutMs();

}  // namespace vxw
