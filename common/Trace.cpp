#include "common/Trace.h"

#ifdef QERN_TRACE
#include <cstdarg>
#include <cstdio>
#ifdef _WIN32
#include <windows.h>
#endif
#endif

namespace qern {

#ifdef QERN_TRACE
void QernTrace(const char* fmt, ...) {
    char line[1024];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(line, sizeof line, fmt, args);  // truncates, never overflows
    va_end(args);
#ifdef _WIN32
    OutputDebugStringA(line);
#else
    std::fputs(line, stderr);
#endif
}
#else
void QernTrace(const char*, ...) {}
#endif

}  // namespace qern
