/* The library headers are C headers: this file must compile as C and see every declaration. */
#include "fourel.h"
#include "parvel.h"
#include "trifol.h"

int main(void)
{
    void (*entries[])(void) = {(void (*)(void))li2bmp, (void (*)(void))var2lin,
                               (void (*)(void))fft4, (void (*)(void))tfft};
    return entries[0] != 0 && entries[3] != 0 ? 0 : 1;
}
