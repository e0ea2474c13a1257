// Fault translation on Windows (x86-64, the compiler's SEH-based C++
// exceptions). The compiler has no structured-exception translator, so:
//
// - Arithmetic faults (integer division by zero or overflow, the
//   floating-point faults, array bounds) on a thread that installed the
//   handlers become a vxw::WinException thrown at the faulting instruction. A
//   vectored handler sees the fault first; it does not throw itself, it
//   redirects the thread to a small stub and lets the system resume it there.
//   The stub's unwind information describes a machine frame (as an interrupt
//   leaves it) whose return address lies inside the faulting instruction, so
//   the unwinder walks from the stub straight into the faulting function. The
//   program is compiled with -fnon-call-exceptions, so that instruction lies
//   inside its function's exception regions and destructors run as usual.
//
// - Every other fault (invalid access, illegal instruction, stack overflow...)
//   that no handler of the thread took is written to the log and to standard
//   error, and ends the process with kFaultExitCode: such a fault may have
//   struck inside the allocator, inside the C runtime or with a lock held by
//   code that does not unwind, so going on is not safe. These are caught by
//   the process's unhandled-exception filter, so that code which handles its
//   own faults (system libraries do) is left alone.
//
// Threads that did not install the handlers keep the system's behaviour.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>

#include "core/clock.h"
#include "core/exception.h"
#include "core/fault_line.h"
#include "core/log.h"
#include "core/thread_handlers.h"

extern "C" [[noreturn]] void MirelinkRaiseFault(uint32_t code) {
    throw vxw::WinException(code);
}

// Entered from the vectored handler with rcx = the faulting address + 1 (a
// "return address" inside the faulting instruction), rdx = the faulting rsp
// and r8 = the fault code. It builds the machine frame on the thread's own
// stack (there is no red zone below rsp to keep), then calls the thrower.
asm(R"(
    .text
    .globl MirelinkFaultStub
    .def MirelinkFaultStub; .scl 2; .type 32; .endef
    .seh_proc MirelinkFaultStub
MirelinkFaultStub:
    andq $-16, %rsp
    pushq $0
    pushq %rdx
    pushq $0
    pushq $0
    pushq %rcx
    .seh_pushframe
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movl %r8d, %ecx
    call MirelinkRaiseFault
    int3
    .seh_endproc
)");
extern "C" void MirelinkFaultStub();

namespace vxw {
namespace {

constexpr UINT kFaultExitCode = 70;
constexpr ULONG kStackKeptForFaults = 32 * 1024;

// Win32 thread-local storage: the handlers read it without allocating.
DWORD installedSlot = TLS_OUT_OF_INDEXES;
LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
char logPath[MAX_PATH * 4];  // filled once, read by the fault filter

void ThrowBadAlloc() {
    throw std::bad_alloc();
}

bool IsArithmetic(DWORD code) {
    return code >= EXCEPTION_ARRAY_BOUNDS_EXCEEDED && code <= EXCEPTION_INT_OVERFLOW;
}

bool InstalledOnThisThread() {
    DWORD lastError = GetLastError();  // TlsGetValue clears it
    bool installed = TlsGetValue(installedSlot) != nullptr;
    SetLastError(lastError);
    return installed;
}

LONG CALLBACK OnFirstChance(EXCEPTION_POINTERS* info) {
    DWORD code = info->ExceptionRecord->ExceptionCode;
    if (!IsArithmetic(code) || !InstalledOnThisThread()) return EXCEPTION_CONTINUE_SEARCH;
    CONTEXT* context = info->ContextRecord;
    context->Rcx = context->Rip + 1;
    context->Rdx = context->Rsp;
    context->R8 = code;
    context->Rip = reinterpret_cast<DWORD64>(&MirelinkFaultStub);
    return EXCEPTION_CONTINUE_EXECUTION;
}

void Append(HANDLE file, const char* bytes, size_t length) {
    DWORD written = 0;
    WriteFile(file, bytes, static_cast<DWORD>(length), &written, nullptr);
}

// A fault of the processor or the system: its code has the error severity.
// (The C++ runtime raises its own exceptions with other codes and expects
// the previous filter to see them.)
bool IsSystemFault(DWORD code) {
    return (code & 0xC0000000u) == 0xC0000000u || code == EXCEPTION_DATATYPE_MISALIGNMENT ||
           code == EXCEPTION_BREAKPOINT || code == EXCEPTION_SINGLE_STEP;
}

LONG WINAPI OnUnhandled(EXCEPTION_POINTERS* info) {
    DWORD code = info->ExceptionRecord->ExceptionCode;
    if (!IsSystemFault(code) || !InstalledOnThisThread()) {
        return previousFilter != nullptr ? previousFilter(info) : EXCEPTION_CONTINUE_SEARCH;
    }
    FaultLine line;
    FormatFaultLine(line, LocalNow(), code);
    if (logPath[0] != '\0') {
        HANDLE file = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            Append(file, line.text, line.length);
            CloseHandle(file);
        }
    }
    Append(GetStdHandle(STD_ERROR_HANDLE), line.text + line.textStart,
           line.length - line.textStart);
    // Not ExitProcess: the static destructors could wait for a lock the
    // faulting code held.
    TerminateProcess(GetCurrentProcess(), kFaultExitCode);
    return EXCEPTION_CONTINUE_SEARCH;
}

void InstallProcessHandlers() {
    installedSlot = TlsAlloc();
    try {
        vx::Str path = LogFilePath();
        if (path.size() < sizeof logPath) std::memcpy(logPath, path.c_str(), path.size() + 1);
    } catch (...) {
        // Without a log file a fatal fault is reported on stderr only.
    }
    if (installedSlot == TLS_OUT_OF_INDEXES) return;
    AddVectoredExceptionHandler(1, OnFirstChance);
    previousFilter = SetUnhandledExceptionFilter(OnUnhandled);
}

}  // namespace

void InstallThreadHandlers() {
    std::set_new_handler(ThrowBadAlloc);
    static std::once_flag once;
    std::call_once(once, InstallProcessHandlers);
    if (installedSlot == TLS_OUT_OF_INDEXES) return;
    // Leaves room for the filter to run when the thread's stack is used up.
    ULONG keep = kStackKeptForFaults;
    SetThreadStackGuarantee(&keep);
    TlsSetValue(installedSlot, reinterpret_cast<void*>(1));
}

}  // namespace vxw
