// gasket: a triangle of triangles (a Sierpinski triangle two subdivisions
// deep), drawn whole into a static canvas by recursive subdivision and only
// then printed.
#include <cstdio>

#include "../common/flush_output.h"
#include "../common/wait_for_reader.h"

// Room for a figure of up to 3072 rows; each used row is a terminated string.
static char arr[3072][6144];

// Draws a triangle of height size with its apex at (row, col). Halving must
// reach exactly 3, so size is 3 times a power of two for a complete figure.
void star(int row, int col, int size)
{
    if (size != 3) {
        int half = size / 2;
        star(row, col, half);
        star(row + half, col - half, half);
        star(row + half, col + half, half);
        return;
    }
    arr[row][col] = '*';
    for (int j = col - 1; j <= col + 1; j++)
        arr[row + 1][j] = '*';
    for (int j = col - 2; j <= col + 2; j++)
        arr[row + 2][j] = '*';
}

int main()
{
    waitForReader();

    const int N = 12;

    for (int i = 0; i < N; i++) {
        for (int j = 0; j < 2 * N - 1; j++)
            arr[i][j] = ' ';
        arr[i][2 * N - 1] = '\0';
    }

    star(0, N - 1, N);

    for (int i = 0; i < N; i++) {
        for (int j = 0; j < 2 * N - 1; j++)
            putchar(arr[i][j]);
        putchar('\n');
    }
    return flushOutput("gasket");
}
