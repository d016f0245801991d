#include "analysis_busy.h"

namespace vantry {

std::string analysingMessage()
{
    return "The analysis window is measuring this image: the image and its ROI stay as they are "
           "until it has finished.";
}

bool refusedWhileAnalysing(Korvelf& k)
{
    if (k.ws.ANALYSING <= 0) return false;
    k.host.MsgBox(analysingMessage());
    return true;
}

} // namespace vantry
