#pragma once
// Shows the log in Notepad (Windows only: the main window's log command).

// Creates the log file empty when there is none, then asks the shell to open
// it with "notepad" in a normal window. True when the shell accepted.
bool ViewLog();
