#include "ui/dialog_registry.h"

#include <map>
#include <mutex>

namespace vxg {
namespace {

struct Table {
    std::mutex lock;
    std::map<HWND, Dialog*> dialogs;
};

// Created during static initialisation, before any window exists.
Table table;

}  // namespace

void DialogRegistry::Add(HWND window, Dialog* dialog) {
    std::lock_guard<std::mutex> guard(table.lock);
    table.dialogs[window] = dialog;
}

void DialogRegistry::Remove(HWND window) {
    std::lock_guard<std::mutex> guard(table.lock);
    table.dialogs.erase(window);
}

Dialog* DialogRegistry::Find(HWND window) {
    std::lock_guard<std::mutex> guard(table.lock);
    auto found = table.dialogs.find(window);
    return found != table.dialogs.end() ? found->second : nullptr;
}

}  // namespace vxg
