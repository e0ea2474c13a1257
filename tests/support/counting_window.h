#pragma once
// A main window that counts the services' session notifications.
#include <atomic>

#include "core/main_window.h"

namespace testing_support {

class CountingWindow : public MainWindowEvents {
public:
    void OnSessionStarted() override { ++started; }
    void OnAllSessionsEnded() override { ++ended; }
    void ShowLoginError(const vx::Str&) override {}
    std::atomic<int> started{0};
    std::atomic<int> ended{0};
};

}  // namespace testing_support
