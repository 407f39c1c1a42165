// Output for stairprompt's rows, whose total length grows with the square of
// the count. Every run of stars is a piece of one static block of stars, ending
// where the block ends, and the line feed after the block extends the run into
// a row. The pieces are gathered and handed to the system together
// (hand_over.h), so no star is copied or written on its own, and a failed
// write is seen at once, whatever is still to come.
//
// A pipe is lent the block's pages rather than given copies of them, and may
// still hold them after the program has ended. That is safe because the block
// is filled once, before the first row, and never written again: a page in
// the pipe always holds the stars and line feed it held when it was handed
// over, and the kernel keeps it alive for as long as the pipe refers to it.
#ifndef STAR_BLOCKS_H
#define STAR_BLOCKS_H

#include <cerrno>
#include <cstring>
#include <sys/uio.h>

#include "../common/report_failure.h"
#include "hand_over.h"

// The longest run that is one piece; longer runs are several.
const int BLOCK = 1 << 16;

// Pieces are written once this many bytes or pieces are gathered.
const size_t BATCH_BYTES = 1 << 18;
const int BATCH_PIECES = 1024;

// BLOCK stars, then a line feed that is the last byte of a page: a pipe holds
// a row as whole pages but for its first, and not a page for the line feed.
const int PAGE = 4096;
alignas(PAGE) inline char starPages[PAGE + BLOCK];
inline char *const stars = starPages + PAGE - 1;
inline iovec pieces[BATCH_PIECES];
inline int pieceCount;
inline size_t pieceBytes;
inline int writeErrno; // the reason the first failed write gave, or 0

// Fills the block, once and for all, and readies standard output.
inline void startRows()
{
    memset(stars, '*', BLOCK);
    stars[BLOCK] = '\n';
    startHandOver();
}

// Nonzero once a write has failed: then nothing more is written.
inline int rowsFailed()
{
    return writeErrno != 0;
}

// Hands every gathered piece to standard output, again and again as long as
// it takes only part of them. A full output that does not block is waited
// for: its reader is busy, not gone.
inline void sendPieces()
{
    iovec *next = pieces;
    int left = pieceCount;
    while (left > 0 && !rowsFailed()) {
        ssize_t sent = handOver(next, left);
        if (sent < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (waitForRoom() != 0)
                    writeErrno = errno;
            } else if (errno != EINTR) {
                writeErrno = errno;
            }
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
