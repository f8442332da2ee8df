#include "ui/logo.h"

#include <QFile>
#include <QPixmap>

#include "ui/jpeg_decoder.h"

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
    return QImage(picture.Rgb.data(), picture.Width, picture.Height, picture.Width * 3,
                  QImage::Format_RGB888)
        .copy();
}

QImage FitInside(const QImage& image, QSize box)
{
    if (image.isNull() || (image.width() <= box.width() && image.height() <= box.height()))
        return image;
    return image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QIcon WindowIcon()
{
    return QIcon(QPixmap(QString::fromLatin1(kIconResource)));
}

}  // namespace varnox
