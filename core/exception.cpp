#include "core/exception.h"


namespace vx {

Exception::Exception(const Str& text, int32_t code) : code(code), message(text) {
    if (code != 0) message += " (" + std::to_string(code) + ")";
}

}  // namespace vx

namespace vxw {
namespace {

struct FaultDescription {
    uint32_t code;
    const char* text;
};

const FaultDescription kFaults[] = {
    {0x80000002u, "The thread attempted to read or write data that is misaligned on hardware that does not provide alignment."},
    {0x80000003u, "A breakpoint was encountered."},
    {0x80000004u, "A trace trap or other single-instruction mechanism signaled that one instruction has been executed."},
    {0xC0000005u, "The thread attempted to read from or write to a virtual address for which it does not have the appropriate access."},
    {0xC0000006u, "The thread tried to access a page that was not present, and the system was unable to load the page."},
    {0xC000001Du, "The thread tried to execute an invalid instruction."},
    {0xC0000025u, "The thread attempted to continue execution after a noncontinuable exception occurred."},
    {0xC0000026u, "An exception handler returned an invalid disposition to the exception dispatcher."},
    {0xC000008Cu, "The thread attempted to access an array element that is out of bounds."},
    {0xC000008Du, "One of the operands in a floating-point operation is denormal."},
    {0xC000008Eu, "The thread attempted to divide a floating-point value by a floating-point divisor of zero."},
    {0xC000008Fu, "The result of a floating-point operation cannot be represented exactly as a decimal fraction."},
    {0xC0000090u, "Floating-point exception."},
    {0xC0000091u, "The exponent of a floating-point operation is greater than the magnitude allowed by the corresponding type."},
    {0xC0000092u, "The stack overflowed or underflowed as the result of a floating-point operation."},
    {0xC0000093u, "The exponent of a floating-point operation is less than the magnitude allowed by the corresponding type."},
    {0xC0000094u, "The thread attempted to divide an integer value by an integer divisor of zero."},
    {0xC0000095u, "The result of an integer operation caused a carry out of the most significant bit of the result."},
    {0xC0000096u, "The thread attempted to execute an instruction whose operation is not allowed in the current machine mode."},
    {0xC00000FDu, "The thread used up its stack."},
};

}  // namespace

const char* WinException::DescriptionOf(uint32_t code) {
    for (const auto& fault : kFaults) {
        if (fault.code == code) return fault.text;
    }
    return "Unknown Exception.";
}

vx::Str WinException::Describe(uint32_t code) {
    return "WINEXCEPTION: " + vx::Str(DescriptionOf(code)) + " (" + std::to_string(code) + ")";
}

WinException::WinException(uint32_t code)
    : vx::Exception(Verbatim{}, Describe(code), static_cast<int32_t>(code)) {}

}  // namespace vxw
