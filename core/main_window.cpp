#include "core/main_window.h"

#include <atomic>

namespace {
std::atomic<MainWindowEvents*> mainWindow{nullptr};
}

void SetMainWindow(MainWindowEvents* window) { mainWindow.store(window); }

MainWindowEvents* GetMainWindow() { return mainWindow.load(); }
