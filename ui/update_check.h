#pragma once
// At every start the program asks the maker's web server which version is
// current; when it names another one, the user may download and run its
// installer. The check is silent when anything fails.
#include <windows.h>

#include "core/str.h"

// True when an installer was started: the program should end so that the
// installer can replace it. owner owns the question and warning boxes.
bool CheckForUpdate(HWND owner, bool useLocalMachine);

// Downloads the installer at url into the program's download folder with the
// progress dialog and opens it; true when it was saved and handed to the shell.
bool DownloadUpdate(HWND owner, const vx::Str& url);
