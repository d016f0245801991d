/* The library headers are C headers: this program is compiled as C and linked against the three
 * libraries, so every declaration must compile and resolve with C linkage. */
#include "fourel.h"
#include "parvel.h"
#include "trifol.h"

int main(void)
{
    int32_t src = 42, viaParvel = 0, viaFourel = 0;
    float re[2] = {1.0f, 2.0f}, im[2] = {0.0f, 0.0f}, unusedTable[1] = {0.0f};
    var4tst(&viaParvel, &src);
    var4test(&viaFourel, &src);
    tfft(2, 1, re, im, unusedTable, unusedTable, 1);
    return viaParvel == 42 && viaFourel == 42 && re[0] == 3.0f && re[1] == -1.0f ? 0 : 1;
}
