#pragma once
// While an analysis loop yields to the event loop, the workspace window stays live; what it does
// there must not change the image or the ROI the loop is reading. The loop holds an
// `AnalysisBusy` for as long as it runs, and the workspace's handlers that would change them ask
// `refusedWhileAnalysing` first.

#include "korvelf.h"

#include <string>

namespace vantry {

/// Marks the workspace busy (Workspace::ANALYSING) for the life of the object; nests.
class AnalysisBusy {
public:
    explicit AnalysisBusy(Workspace& ws) : m_ws(ws) { ++m_ws.ANALYSING; }
    ~AnalysisBusy() { --m_ws.ANALYSING; }
    AnalysisBusy(const AnalysisBusy&) = delete;
    AnalysisBusy& operator=(const AnalysisBusy&) = delete;

private:
    Workspace& m_ws;
};

/// The message a refused action shows.
std::string analysingMessage();
/// True, after the message, when an analysis runs; the caller then does nothing.
bool refusedWhileAnalysing(Korvelf& k);

} // namespace vantry
