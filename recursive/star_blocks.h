// Output for stairprompt's rows, whose total length grows with the square of
// the count. Every run of stars is a piece of one static block of stars, ending
// where the block ends, and the line feed after the block extends the run into
// a row. The pieces are gathered and handed to the system together with
// writev, so no star is copied or written on its own, and a failed write is
// seen at once, whatever is still to come.
#ifndef STAR_BLOCKS_H
#define STAR_BLOCKS_H

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/uio.h>

#include "../common/report_failure.h"

// The longest run that is one piece; longer runs are several.
const int BLOCK = 1 << 16;

// Pieces are written once this many bytes or pieces are gathered.
const size_t BATCH_BYTES = 1 << 18;
const int BATCH_PIECES = 1024;

inline char stars[BLOCK + 1]; // BLOCK stars, then a line feed
inline iovec pieces[BATCH_PIECES];
inline int pieceCount;
inline size_t pieceBytes;
inline int writeErrno; // the reason the first failed write gave, or 0

// Fills the block. A pipe is also given room for 1 MiB, the most an ordinary
// user may ask for, so that the reader takes large batches in turn with the
// writer instead of waking it for every 64 KiB; for anything but a pipe the
// request fails, and nothing changes.
inline void startRows()
{
    memset(stars, '*', BLOCK);
    stars[BLOCK] = '\n';
    fcntl(1, F_SETPIPE_SZ, 1 << 20);
}

// Nonzero once a write has failed: then nothing more is written.
inline int rowsFailed()
{
    return writeErrno != 0;
}

// Hands every gathered piece to standard output, again and again as long as
// a write takes only part of them.
inline void sendPieces()
{
    iovec *next = pieces;
    int left = pieceCount;
    while (left > 0 && !rowsFailed()) {
        ssize_t sent = writev(1, next, left);
        if (sent < 0) {
            if (errno != EINTR)
                writeErrno = errno;
            continue;
        }
        for (; left > 0 && size_t(sent) >= next->iov_len; next++, left--)
            sent -= ssize_t(next->iov_len);
        if (left > 0) {
            next->iov_base = static_cast<char *>(next->iov_base) + sent;
            next->iov_len -= size_t(sent);
        }
    }
    pieceCount = 0;
    pieceBytes = 0;
}

// Gathers the bytes from at up to at + length, joining them to the last piece
// when they follow it in the block.
inline void putPiece(char *at, size_t length)
{
    iovec *last = pieceCount > 0 ? &pieces[pieceCount - 1] : nullptr;
    if (last && static_cast<char *>(last->iov_base) + last->iov_len == at) {
        last->iov_len += length;
    } else {
        if (pieceCount == BATCH_PIECES)
            sendPieces();
        pieces[pieceCount++] = {at, length};
    }
    pieceBytes += length;
    if (pieceBytes >= BATCH_BYTES)
        sendPieces();
}

// Writes k stars, for k from 1 to BLOCK.
inline void putStars(int k)
{
    putPiece(stars + BLOCK - k, size_t(k));
}

// Ends a row.
inline void putLineFeed()
{
    putPiece(stars + BLOCK, 1);
}

// Writes what is still gathered. Returns 0 when every row has been written;
// otherwise reports the first failure and returns 1.
inline int finishRows(const char *program)
{
    sendPieces();
    if (!rowsFailed())
        return 0;
    errno = writeErrno;
    return reportFailure(program, "write");
}

#endif
