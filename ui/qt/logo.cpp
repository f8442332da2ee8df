#include "ui/qt/logo.h"

#include <QFile>
#include <QPixmap>

#include "ui/core/window_placement.h"
#include "ui/qt/jpeg_decoder.h"

namespace varnox {

QImage LoadLogo(QString& error)
{
    QFile file(QString::fromLatin1(kLogoResource));
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return {};
    }
    const QByteArray bytes = file.readAll();
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    const JpegDecodeResult decoded = DecodeJpeg({data, static_cast<std::size_t>(bytes.size())});
    if (!decoded.Ok()) {
        error = QString::fromStdString(decoded.Error);
        return {};
    }
    const DecodedImage& picture = decoded.Image;
    // The QImage only borrows the decoder's rows; copy() gives it its own.
    return QImage(picture.Rgb.data(), picture.Width, picture.Height, picture.Width * 3, QImage::Format_RGB888)
        .copy();
}

QImage FitInside(const QImage& image, QSize box)
{
    const PictureSize fitted =
        varnox::FitInside(PictureSize{image.width(), image.height()}, PictureSize{box.width(), box.height()});
    if (image.isNull() || (fitted.Width == image.width() && fitted.Height == image.height()))
        return image;
    return image.scaled(fitted.Width, fitted.Height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QIcon WindowIcon()
{
    return QIcon(QPixmap(QString::fromLatin1(kIconResource)));
}

}  // namespace varnox
