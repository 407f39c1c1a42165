// How stairprompt's gathered pieces of the block of stars reach standard
// output. A pipe is lent the block's pages themselves with vmsplice, so the
// reader's copy is the only one made; anything else is written a copy with
// writev. An output that is busy is waited for, not given up on.
#ifndef HAND_OVER_H
#define HAND_OVER_H

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/uio.h>

// Systems without the Linux pipe calls write every piece with writev.
#if defined(F_SETPIPE_SZ) && defined(SPLICE_F_GIFT)

// Nonzero while standard output is a pipe that takes pages by reference.
inline int lendingPages;

// A pipe is also given room for 1 MiB, the most an ordinary user may ask for,
// so that the reader takes large batches in turn with the writer instead of
// waking it for every 64 KiB; if it refuses, it keeps the room it has.
inline void startHandOver()
{
    struct stat output;
    if (fstat(1, &output) == 0 && S_ISFIFO(output.st_mode)) {
        fcntl(1, F_SETPIPE_SZ, 1 << 20);
        lendingPages = 1;
    }
}

// Hands count pieces to standard output; returns the bytes taken, or -1 with
// errno set. A pipe that will not take pages (an emulator may lack vmsplice)
// is written copies from then on.
inline ssize_t handOver(const iovec *pieces, int count)
{
    if (lendingPages) {
        ssize_t sent = vmsplice(1, pieces, size_t(count), 0);
        if (sent >= 0 || (errno != EINVAL && errno != ENOSYS))
            return sent;
        lendingPages = 0;
    }
    return writev(1, pieces, count);
}

#else

inline void startHandOver()
{
}

inline ssize_t handOver(const iovec *pieces, int count)
{
    return writev(1, pieces, count);
}

#endif

// Waits until standard output, which is non-blocking and full, can take more.
// A reader that has gone shows at the next write, as the error it is. Returns
// 0, or -1 with errno set when even the wait fails.
inline int waitForRoom()
{
    pollfd output = {1, POLLOUT, 0};
    if (poll(&output, 1, -1) < 0 && errno != EINTR)
        return -1;
    return 0;
}

#endif
