#include "timer1.h"

namespace vantry {

void Timer1_Timer(Korvelf& k)
{
    // The redraw of the current view joins here once views can hold images; until then a tick
    // only ends the timer.
    k.form.Timer1.Interval = 0;
    k.form.Timer1.Enabled = false;
    k.host.setTimer(0);
}

} // namespace vantry
