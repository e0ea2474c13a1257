// Fault translation on POSIX. A synchronous SIGFPE (integer division by zero
// and friends) raised on a thread that installed the handlers becomes a
// vxw::WinException thrown at the faulting instruction. The handler does not
// throw itself: it rewrites the interrupted context so that, once the handler
// has returned normally, the thread continues in a small stub that looks to the
// unwinder as if the faulting instruction had called it, and the stub throws.
// The program is compiled with -fnon-call-exceptions, so the faulting
// instruction lies inside its function's exception regions. (x86-64 only;
// elsewhere SIGFPE is treated like the faults below.)
//
// An invalid access, a bus error or an illegal instruction may have struck in
// the middle of the allocator or with a lock held, so unwinding is not safe:
// the handler writes the fault text to the log and to standard error and ends
// the process with kFaultExitCode.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>

#include "core/clock.h"
#include "core/exception.h"
#include "core/fault_line.h"
#include "core/log.h"
#include "core/thread_handlers.h"

namespace {
thread_local uint32_t pendingFault = 0;  // the code the stub throws
}

extern "C" [[noreturn]] void MirelinkRaisePendingFault() { throw vxw::WinException(pendingFault); }

#if defined(__x86_64__)
// Entered with rsp 16-byte aligned, [rsp] = the faulting address + 1 (a
// "return address" inside the faulting instruction) and [rsp + 8] = the
// faulting rsp. The CFI says exactly that: CFA = [rsp + 8], return address at [rsp].
asm(R"(
    .text
    .globl MirelinkFaultStub
    .type MirelinkFaultStub, @function
MirelinkFaultStub:
    .cfi_startproc
    .cfi_escape 0x0f, 0x03, 0x77, 0x08, 0x06
    .cfi_escape 0x10, 0x10, 0x02, 0x77, 0x00
    call MirelinkRaisePendingFault
    ud2
    .cfi_endproc
    .size MirelinkFaultStub, .-MirelinkFaultStub
)");
extern "C" void MirelinkFaultStub();
constexpr bool kCanRedirectFaults = true;
#else
constexpr bool kCanRedirectFaults = false;
#endif

namespace vxw {
namespace {

constexpr int kFaultExitCode = 70;
constexpr size_t kAltStackSize = 64 * 1024;

thread_local bool handlersInstalled = false;
thread_local char* stackLow = nullptr;   // lowest address of this thread's stack

// The alternate signal stack of one thread, released when the thread ends.
// Mapped on its own rather than taken from the heap: a page is memory in use
// only once a fault handler has run on it, whereas heap room (freed by
// another session a moment before) is already resident, and an idle session
// would hold 64 KiB of it for nothing.
struct AltStack {
    void* memory = MAP_FAILED;
    ~AltStack() {
        if (memory == MAP_FAILED) return;
        stack_t off;
        std::memset(&off, 0, sizeof off);
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
        munmap(memory, kAltStackSize);
    }
};
thread_local AltStack altStack;

char logPath[4096];  // filled once, read by the fault handler
long utcOffset = 0;  // seconds east of UTC, taken once: localtime_r is not signal-safe

struct CivilTime {
    long year;
    unsigned month, day, hour, minute, second;
};

// Calendar fields of a count of seconds since 1970 (proleptic Gregorian).
CivilTime ToCivil(long seconds) {
    long days = seconds / 86400, rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    long era = (days >= 0 ? days : days - 146096) / 146097;
    long dayOfEra = days - era * 146097;
    long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    long monthIndex = (5 * dayOfYear + 2) / 153;
    CivilTime t;
    t.day = static_cast<unsigned>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    t.month = static_cast<unsigned>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    t.year = yearOfEra + era * 400 + (t.month <= 2 ? 1 : 0);
    t.hour = static_cast<unsigned>(rest / 3600);
    t.minute = static_cast<unsigned>(rest / 60 % 60);
    t.second = static_cast<unsigned>(rest % 60);
    return t;
}

void ThrowBadAlloc() { throw std::bad_alloc(); }

uint32_t FpeCode(int siCode) {
    switch (siCode) {
        case FPE_INTDIV: return 0xC0000094u;
        case FPE_INTOVF: return 0xC0000095u;
        case FPE_FLTDIV: return 0xC000008Eu;
        case FPE_FLTOVF: return 0xC0000091u;
        case FPE_FLTUND: return 0xC0000093u;
        case FPE_FLTRES: return 0xC000008Fu;
        case FPE_FLTSUB: return 0xC000008Cu;
        default: return 0xC0000090u;
    }
}

uint32_t FatalCode(int sig, const siginfo_t* info) {
    if (sig == SIGILL) return 0xC000001Du;
    if (sig == SIGBUS) return info->si_code == BUS_ADRALN ? 0x80000002u : 0xC0000006u;
    char* address = static_cast<char*>(info->si_addr);
    // A fault just below the stack's lowest page is the guard page: the stack ran out.
    if (stackLow != nullptr && address < stackLow && address >= stackLow - 1024 * 1024) {
        return 0xC00000FDu;
    }
    return 0xC0000005u;
}

void RestoreDefaultAndReturn(int sig) {
    // Not one of ours: let the default action (a core dump) take place when the
    // instruction runs again.
    signal(sig, SIG_DFL);
}

void WriteFatalLine(uint32_t code) {
    // localtime_r is not signal-safe: the calendar fields come from the offset
    // taken at installation.
    CivilTime local = ToCivil(time(nullptr) + utcOffset);
    DateTime when = {static_cast<int>(local.year),  static_cast<int>(local.month),
                     static_cast<int>(local.day),   static_cast<int>(local.hour),
                     static_cast<int>(local.minute), static_cast<int>(local.second)};
    FaultLine line;
    FormatFaultLine(line, when, code);
    if (logPath[0] != '\0') {
        int fd = open(logPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ssize_t ignored = write(fd, line.text, line.length);
            (void)ignored;
            close(fd);
        }
    }
    ssize_t ignored = write(STDERR_FILENO, line.text + line.textStart, line.length - line.textStart);
    (void)ignored;
}

void OnFatal(int sig, siginfo_t* info, void*) {
    if (!handlersInstalled) return RestoreDefaultAndReturn(sig);
    WriteFatalLine(FatalCode(sig, info));
    _exit(kFaultExitCode);
}

void OnFpe(int sig, siginfo_t* info, void* context) {
    if (!handlersInstalled || !kCanRedirectFaults) return OnFatal(sig, info, context);
#if defined(__x86_64__)
    // The handler runs on the alternate stack, so the thread's own stack below
    // its red zone is free for the stub's two words.
    greg_t* registers = static_cast<ucontext_t*>(context)->uc_mcontext.gregs;
    uintptr_t stack = static_cast<uintptr_t>(registers[REG_RSP]);
    uintptr_t top = (stack - 128 - 16) & ~uintptr_t{15};
    reinterpret_cast<uintptr_t*>(top)[0] = static_cast<uintptr_t>(registers[REG_RIP]) + 1;
    reinterpret_cast<uintptr_t*>(top)[1] = stack;
    pendingFault = FpeCode(info->si_code);
    registers[REG_RSP] = static_cast<greg_t>(top);
    registers[REG_RIP] = reinterpret_cast<greg_t>(&MirelinkFaultStub);
#endif
}

void InstallProcessHandlers() {
    time_t now = time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local) != nullptr) utcOffset = local.tm_gmtoff;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    action.sa_sigaction = OnFpe;
    sigaction(SIGFPE, &action, nullptr);
    action.sa_sigaction = OnFatal;
    sigaction(SIGSEGV, &action, nullptr);
    sigaction(SIGBUS, &action, nullptr);
    sigaction(SIGILL, &action, nullptr);
    try {
        vx::Str path = LogFilePath();
        if (path.size() < sizeof logPath) std::memcpy(logPath, path.c_str(), path.size() + 1);
    } catch (...) {
        // Without a log file a fatal fault is reported on stderr only.
    }
}

void RecordStackBounds() {
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return;
    void* low = nullptr;
    size_t size = 0;
    if (pthread_attr_getstack(&attr, &low, &size) == 0) stackLow = static_cast<char*>(low);
    pthread_attr_destroy(&attr);
}

}  // namespace

void InstallThreadHandlers() {
    std::set_new_handler(ThrowBadAlloc);
    static std::once_flag once;
    std::call_once(once, InstallProcessHandlers);
    if (handlersInstalled) return;
    // An alternate stack lets the handler run when the thread's own stack is used up.
    altStack.memory = mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (altStack.memory == MAP_FAILED) throw std::bad_alloc();
    stack_t alternate;
    alternate.ss_sp = altStack.memory;
    alternate.ss_size = kAltStackSize;
    alternate.ss_flags = 0;
    sigaltstack(&alternate, nullptr);
    RecordStackBounds();
    handlersInstalled = true;
}

}  // namespace vxw
