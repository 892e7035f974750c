// Diagnostic trace shared by the whole control. The shipped build writes nothing;
// a build with QERN_TRACE defined sends each line to the debugger output (Windows)
// or to stderr (elsewhere).
#pragma once

#if defined(__GNUC__)
#define QERN_PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#else
#define QERN_PRINTF_LIKE(f, a)
#endif

namespace qern {

void QernTrace(const char* fmt, ...) QERN_PRINTF_LIKE(1, 2);

}  // namespace qern
