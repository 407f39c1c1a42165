// stairprompt: asks for a count n and prints a left-aligned staircase of n
// rows, the shortest first, its rows and runs of stars written by recursion.
#include <cctype>
#include <climits>
#include <cstdio>

#include "../common/flush_output.h"
#include "../common/wait_for_reader.h"
#include "star_blocks.h"

int n;

// Reads one decimal integer the way scanf("%d") does: white space, an optional
// sign, then digits, leaving the character after them unread. Returns 0 when
// the input holds no number, or one that int cannot hold, rather than letting
// it overflow into some other count.
int readCount()
{
    int c;
    do
        c = getchar();
    while (isspace(c));

    int sign = c == '-' ? -1 : 1;
    if (c == '-' || c == '+')
        c = getchar();

    // Built up below zero, where int reaches one further than above it.
    int below = 0;
    int fits = 1;
    for (; isdigit(c); c = getchar()) {
        int digit = c - '0';
        if (below < (INT_MIN + digit) / 10)
            fits = 0;
        else
            below = below * 10 - digit;
    }
    ungetc(c, stdin);

    if (!fits || (sign > 0 && below == INT_MIN))
        return 0;
    return sign > 0 ? -below : below;
}

// Both recursions split their work in half around a middle part and recurse
// on each side. The rows come out in the same order as when each call handles
// one and recurses on the rest, but the depth grows with the logarithm of the
// count, not the count itself: each nests at most about 31 calls, so no count
// in int's range can exhaust the stack. Both stop as soon as a write fails.

// Writes k stars: a run that fits in the block of stars is one piece of it;
// a longer one is its first half, then the rest.
void g(int k)
{
    if (k <= 0 || rowsFailed())
        return;
    if (k <= BLOCK) {
        putStars(k);
        return;
    }
    g(k / 2);
    g(k - k / 2);
}

// Writes the rows of lengths first to last: those shorter than the middle
// row, the middle row, then the longer ones.
void f(int first, int last)
{
    if (first > last || rowsFailed())
        return;
    int middle = first + (last - first) / 2;
    f(first, middle - 1);
    g(middle);
    putLineFeed();
    if (middle < last) // so that middle + 1 cannot pass int's largest value
        f(middle + 1, last);
}

int main()
{
    waitForReader();
    printf("숫자를 입력하세요 : ");
    // The prompt is shown before the wait, also when output is not a terminal;
    // if it cannot be written, neither can the rows.
    if (flushOutput("stairprompt") != 0)
        return 1;
    n = readCount();
    if (ferror(stdin))
        return reportFailure("stairprompt", "read");
    startRows();
    f(1, n);
    return finishRows("stairprompt");
}
