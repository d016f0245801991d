#include "vylsf_window.h"

VylsfWindow::VylsfWindow(vantry::Korvelf& k) : m_korvelf(k)
{
    setObjectName("VYLSF");
    setWindowTitle(QString::fromStdString(m_korvelf.vylsf.Caption));
    resize(800, 600);
}
