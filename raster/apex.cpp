// apex: an upright pyramid, drawn by asking a predicate about every cell of a
// raster scan and writing each answer at once; no picture is held in memory.
#include <cstdio>

#include "../common/flush_output.h"
#include "../common/wait_for_reader.h"

// x is the column from the left margin; y is 0 on the top row and falls by
// one per row. The axis is the column x = h; each side has its own edge.
int Pyramid(int h, int x, int y)
{
    if (x <= h)
        return y <= x - h;
    return y <= h - x;
}

int main()
{
    waitForReader();

    const int h = 10;

    for (int y = 0; y >= -h; y--) {
        for (int x = 0; x <= 2 * h; x++)
            putchar(Pyramid(h, x, y) ? '*' : ' ');
        putchar('\n');
    }
    return flushOutput("apex");
}
