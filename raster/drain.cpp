// drain: an inverted triangle that empties from the top, one row a second,
// over eleven frames redrawn in place at the top-left corner of the terminal.
#include <cstdio>
#include <unistd.h>

#include "../common/flush_output.h"
#include "../common/wait_for_reader.h"

// Moves the cursor to column x, row y (the row comes first in the sequence).
void gotoxy(int x, int y)
{
    printf("%c[%d;%df", 27, y, x);
}

// Inside the inverted triangle, on or above its edge lines, and strictly below
// the level of frame t: row r = -y is filled only when r > t.
int RevPyramid(int h, int x, int y, int t)
{
    if (x <= h) {
        if (y < -x)
            return 0;
        return y < -t;
    }
    if (y < x - 2 * h)
        return 0;
    return y < -t;
}

int main()
{
    waitForReader();

    const int h = 10;

    for (int t = 0; t <= 10; t++) {
        gotoxy(0, 0);
        for (int y = 0; y >= -h; y--) {
            for (int x = 0; x <= 2 * h; x++)
                putchar(RevPyramid(h, x, y, t) ? '*' : ' ');
            putchar('\n');
        }
        // The frame must be out before the pause, through a pipe or into a
        // file too; if it cannot be written there is nothing to wait for.
        if (flushOutput("drain") != 0)
            return 1;
        sleep(1);
    }
    return 0;
}
