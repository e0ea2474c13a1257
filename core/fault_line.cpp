#include "core/fault_line.h"

#include "core/exception.h"
#include "core/log.h"

namespace vxw {
namespace {

class Writer {
public:
    explicit Writer(FaultLine& line) : line(line) { line.length = 0; }
    void Put(const char* text) {
        while (*text != '\0' && line.length + 1 < sizeof line.text)
            line.text[line.length++] = *text++;
        line.text[line.length] = '\0';
    }
    void PutNumber(unsigned long value, int width) {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (n < width) digits[n++] = '0';
        while (n > 0 && line.length + 1 < sizeof line.text) line.text[line.length++] = digits[--n];
        line.text[line.length] = '\0';
    }

private:
    FaultLine& line;
};

}  // namespace

void FormatFaultLine(FaultLine& line, const DateTime& when, uint32_t code) {
    // The same form as Log's lines; WinException::Describe would allocate.
    Writer out(line);
    out.PutNumber(when.year, 4);
    out.Put("-");
    out.PutNumber(when.month, 2);
    out.Put("-");
    out.PutNumber(when.day, 2);
    out.Put(" ");
    out.PutNumber(when.hour, 2);
    out.Put(":");
    out.PutNumber(when.minute, 2);
    out.Put(":");
    out.PutNumber(when.second, 2);
    out.Put("\t-\t");
    line.textStart = line.length;
    out.Put("vxw::InstallThreadHandlers::fault - WINEXCEPTION: ");
    out.Put(WinException::DescriptionOf(code));
    out.Put(" (");
    out.PutNumber(code, 1);
    out.Put(") - the process ends");
    out.Put(kLogLineEnd);
}

}  // namespace vxw
