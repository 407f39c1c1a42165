// gridshapes: a right triangle and a centred pyramid, each filled into one
// shared static canvas and then read back from it.
#include <cstdio>

#include "../common/flush_output.h"
#include "../common/wait_for_reader.h"

// 100 rows of 100 cells, kept as one flat block: the pyramid addresses
// negative columns, and cell (i, -k) is then the byte k before row i starts,
// at the end of row i - 1, which is still inside the block.
static char arr[10000];

char &cell(int i, int j)
{
    return arr[100 * i + j];
}

// Row i holds i stars, so the first row is blank.
void triangle(int n)
{
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++)
            cell(i, j) = i > j ? '*' : ' ';

    for (int i = 0; i < n; i++) {
        for (int j = 0; j < n; j++)
            putchar(cell(i, j));
        putchar('\n');
    }
}

// Rows run from i = n (blank) down to 1; j runs from -n to n - 1, so the
// pyramid's axis is j = 0 and each half is tested against its own edge.
void pyramid(int n)
{
    for (int i = n; i >= 1; i--)
        for (int j = -n; j <= n - 1; j++)
            cell(i, j) = (j <= 0 && n + j > i) || (j > 0 && n - j > i) ? '*' : ' ';

    for (int i = n; i >= 1; i--) {
        for (int j = -n; j <= n - 1; j++)
            putchar(cell(i, j));
        putchar('\n');
    }
}

int main()
{
    waitForReader();

    const int n = 6;

    triangle(n);
    pyramid(n);
    return flushOutput("gridshapes");
}
