#pragma once
// The window's pictures, embedded in the program: the JPEG logo of Image1
// and the window icon.

#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>

namespace varnox {

inline constexpr const char* kLogoResource = ":/varnox/logo.jpg";
inline constexpr const char* kIconResource = ":/varnox/varnox_icon.xpm";

// Decodes the embedded logo; a null image and `error` set when it cannot.
QImage LoadLogo(QString& error);
// Shrinks `image` proportionally until it fits `box`; smaller pictures stay as they are.
QImage FitInside(const QImage& image, QSize box);
QIcon WindowIcon();

}  // namespace varnox
