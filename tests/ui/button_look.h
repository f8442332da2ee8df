#pragma once
// How CONTINUE looks on screen: its caption is drawn in the active title
// bar's colour while the button is enabled, and greyed when it is not.

#include <QImage>
#include <QPushButton>

#include "ui/qt/main_window.h"

namespace varnox::testing {

inline QColor TitleColour(const MainWindow& form)
{
    return form.palette().color(QPalette::Active, QPalette::Highlight);
}

// Pixels of UpdateButton as drawn now that have exactly the title bar's colour.
inline int CaptionPixelsInTitleColour(MainWindow& form)
{
    const QImage shot = form.UpdateButton->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb title = TitleColour(form).rgb();
    int count = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x)
            count += shot.pixel(x, y) == title ? 1 : 0;
    }
    return count;
}

}  // namespace varnox::testing
