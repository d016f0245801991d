#include "window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <algorithm>

namespace {

constexpr const char* kPlaceKey = "analysisWindow/pos";
/// The part of the frame that must lie on a screen for the saved place to count: the title bar
/// the operator drags it by.
constexpr int kGripWidth = 100;
constexpr int kGripHeight = 24;

constexpr const char* kSettingsName = "vantry";

/// `start` moved as little as needed for [start, start + length) to lie in [lo, lo + room).
int keptWithin(int start, int length, int lo, int room)
{
    return std::max(lo, std::min(start, lo + room - length));
}

} // namespace

QPoint analysisWindowPlace(const QRect& mainFrame, const QSize& size, const QList<QRect>& screens,
                           const std::optional<QPoint>& saved)
{
    if (saved) {
        const QRect grip(*saved, QSize(std::min(kGripWidth, size.width()), kGripHeight));
        const auto onScreen = [&screens](const QPoint& p) {
            return std::any_of(screens.begin(), screens.end(), [&p](const QRect& s) { return s.contains(p); });
        };
        // The title bar may cross from one screen to the next, but must lie on screens.
        if (onScreen(grip.topLeft()) && onScreen(grip.bottomRight())) return *saved;
    }
    QRect screen = screens.isEmpty() ? QRect(QPoint(0, 0), size) : screens.front();
    for (const QRect& s : screens) {
        if (s.contains(mainFrame.center())) screen = s;
    }
    int x = mainFrame.right() + 1;
    if (x + size.width() - 1 > screen.right()) {
        const int left = mainFrame.left() - size.width();
        x = left >= screen.left() ? left : screen.right() + 1 - size.width();
    }
    const int y = mainFrame.top();
    return {keptWithin(x, size.width(), screen.left(), screen.width()),
            keptWithin(y, size.height(), screen.top(), screen.height())};
}

std::optional<QPoint> savedAnalysisPlace()
{
    const QSettings s(QSettings::NativeFormat, QSettings::UserScope, kSettingsName, kSettingsName);
    const QVariant v = s.value(kPlaceKey);
    if (!v.isValid() || !v.canConvert<QPoint>()) return std::nullopt;
    return v.toPoint();
}

void saveAnalysisPlace(const QWidget& window)
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, kSettingsName, kSettingsName);
    s.setValue(kPlaceKey, window.frameGeometry().topLeft());
}

void placeAnalysisWindow(QWidget& window, const QWidget& mainWindow)
{
    QList<QRect> screens;
    for (const QScreen* s : QGuiApplication::screens()) screens.push_back(s->availableGeometry());
    window.move(analysisWindowPlace(mainWindow.frameGeometry(), window.frameGeometry().size(), screens,
                                    savedAnalysisPlace()));
}
