#pragma once
// "Mirelink.lnk" in the Startup folder: Windows starts the program at logon
// while it exists.
class StartupShortcut {
public:
    // False also when the Startup folder cannot be found.
    static bool Exists();
    // Creates the link to mirelink.exe in the program folder, or deletes it.
    // An existing link is kept as it is. Throws when the folder cannot be found
    // or the link cannot be written or deleted.
    static void Set(bool wanted);
};
