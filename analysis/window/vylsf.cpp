#include "vylsf.h"

namespace vantry {

void Form_Load(Vylsf& v)
{
    v.r = VylsfRecord{};
    v.curve = WorkingCurve{};
    const bool visible = v.form().Visible;
    v.form() = makeVylsfForm();
    v.form().Visible = visible;
    v.form().Caption = "Vantry ver." + v.k.ws.VERSTR;
}

} // namespace vantry
