#pragma once
// The analysis window; its menus and charts arrive with the analysis.

#include "korvelf.h"

#include <QWidget>

class VylsfWindow : public QWidget {
    Q_OBJECT
public:
    explicit VylsfWindow(vantry::Korvelf& k);

private:
    vantry::Korvelf& m_korvelf;
};
