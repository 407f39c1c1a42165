// Every program ends by flushing standard output through flushOutput, so that
// output lost to a full disk or a closed descriptor is never reported as success.
#ifndef FLUSH_OUTPUT_H
#define FLUSH_OUTPUT_H

#include <cstdio>

#include "report_failure.h"

// Pushes out what standard output still holds. Returns 0 when everything
// written so far has reached it; otherwise says so on standard error and
// returns 1, the status for main to exit with.
inline int flushOutput(const char *program)
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return 0;
    // The failed write, whether this flush or an earlier automatic one, is
    // the last call to have set errno.
    return reportFailure(program, "write");
}

#endif
