#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "core/condition.h"
#include "core/exception.h"
#include "core/thread.h"
#include "core/worker.h"

namespace {

// Waits on a condition until stopped, as a listener waits on accept.
class WaitingWorker : public vxw::Worker {
public:
    ~WaitingWorker() override { Stop(); }
    std::atomic<int> runs{0};
    std::atomic<int> interrupts{0};
    std::vector<std::string> errors;
    bool throwInDoWork = false;

protected:
    void DoWork() override {
        ++runs;
        if (throwInDoWork) throw vx::Exception("DoWork failed", 7);
        while (!StopRequested()) wake.WaitMs(10000);
    }
    void Interrupt() override {
        ++interrupts;
        wake.Signal();
    }
    void LogError(const vx::Str& text) override { errors.push_back(text); }

private:
    vxw::Condition wake;
};

TEST(Worker, StartTwiceFailsAndLeavesTheThreadAlone) {
    WaitingWorker worker;
    worker.Start();
    try {
        worker.Start();
        FAIL() << "second Start must throw";
    } catch (const vx::Exception& e) {
        EXPECT_EQ(e.Message(), "vxw::Worker::Start - The working is alredy started");
    }
    worker.Stop();
    EXPECT_EQ(worker.runs, 1);
    EXPECT_EQ(worker.interrupts, 1);
}

TEST(Worker, StopOnNeverStartedReturnsAtOnceAndRestartStartsIt) {
    WaitingWorker worker;
    worker.Stop();
    EXPECT_EQ(worker.interrupts, 0);
    worker.Restart();
    worker.Restart();
    worker.Stop();
    EXPECT_EQ(worker.runs, 2);
    EXPECT_EQ(worker.interrupts, 2);
}

// The failure also stays with the worker, so whoever started it can say why
// the work is over; a new start forgets it.
TEST(Worker, ExceptionFromDoWorkReachesLogErrorOnceAndStaysUntilTheNextStart) {
    WaitingWorker worker;
    worker.throwInDoWork = true;
    worker.Start();
    for (int i = 0; i < 1000 && !worker.Ended(); ++i) vxw::Sleep(5);
    EXPECT_TRUE(worker.Ended());
    EXPECT_EQ(worker.Failure(), "vxw::Worker::DoWork::catch::vx - DoWork failed (7)");
    worker.Stop();  // the ended thread is still joined
    ASSERT_EQ(worker.errors.size(), 1u);
    EXPECT_EQ(worker.errors[0], "vxw::Worker::DoWork::catch::vx - DoWork failed (7)");
    worker.throwInDoWork = false;
    worker.Start();
    EXPECT_FALSE(worker.Ended());
    EXPECT_EQ(worker.Failure(), "");
    worker.Stop();
    EXPECT_TRUE(worker.Ended());  // a stop ends the work without a failure
    EXPECT_EQ(worker.Failure(), "");
}

TEST(Condition, SignalBeforeWaitIsKeptForOneWait) {
    vxw::Condition event;
    event.Signal();
    EXPECT_TRUE(event.WaitMs(0));
    auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.WaitMs(50));
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(50));
}

TEST(Condition, OneSignalReleasesOneWaiter) {
    vxw::Condition event;
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 2; ++i) {
        waiters.emplace_back([&] {
            if (event.WaitMs(500)) ++released;
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    event.Signal();
    for (auto& t : waiters) t.join();
    EXPECT_EQ(released, 1);
}

uint32_t ReturnArgument(void* argument) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(argument)); }

TEST(Thread, WaitReturnsTheExitCodeAndDetachedThreadsRunOn) {
    vxw::ThreadHandle joined = vxw::CreateThread(ReturnArgument, reinterpret_cast<void*>(uintptr_t{42}));
    EXPECT_EQ(vxw::WaitAndFreeThreadHandle(joined), 42u);
    EXPECT_FALSE(joined);

    static std::atomic<bool> ran{false};
    vxw::ThreadHandle detached = vxw::CreateThread(
        [](void*) -> uint32_t {
            vxw::Sleep(20);
            ran = true;
            return 0;
        },
        nullptr);
    vxw::CloseThreadHandle(detached);
    for (int i = 0; i < 100 && !ran; ++i) vxw::Sleep(10);
    EXPECT_TRUE(ran);
}

}  // namespace
