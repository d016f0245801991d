#include "timer1.h"

#include "imgdsp.h"

namespace vantry {

void Timer1_Timer(Korvelf& k)
{
    if (k.ws.LOADED[k.ws.CURSLOT] == 1) IMGDSP(k);
    k.form.Timer1.Interval = 0;
    k.form.Timer1.Enabled = false;
    k.host.setTimer(0);
}

} // namespace vantry
