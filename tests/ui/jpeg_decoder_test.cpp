// The logo decoder: the embedded logo decodes to its size, and damaged data
// of every kind is refused with a reason instead of ending the program.

#include <QFile>
#include <QtTest>

#include <vector>

#include "ui/qt/jpeg_decoder.h"
#include "ui/qt/logo.h"

using namespace varnox;

namespace {

std::vector<uint8_t> LogoBytes()
{
    QFile file(QString::fromLatin1(kLogoResource));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return {bytes.begin(), bytes.end()};
}

}  // namespace

class JpegDecoderTest : public QObject {
    Q_OBJECT
private slots:
    void logoDecodesToItsSize()
    {
        const std::vector<uint8_t> logo = LogoBytes();
        QVERIFY(!logo.empty());
        const JpegDecodeResult result = DecodeJpeg(logo);
        QVERIFY2(result.Ok(), result.Error.c_str());
        QCOMPARE(result.Image.Width, 168);
        QCOMPARE(result.Image.Height, 136);
        QCOMPARE(result.Image.Rgb.size(), std::size_t{168 * 136 * 3});
        // The top-left corner is the white background, the disc's centre red.
        QVERIFY(result.Image.Rgb[0] > 240 && result.Image.Rgb[1] > 240 && result.Image.Rgb[2] > 240);
        const std::size_t centre = (52u * 168u + 50u) * 3u;
        QVERIFY(result.Image.Rgb[centre] > 150 && result.Image.Rgb[centre + 1] < 80);
    }

    void damagedDataFailsCleanly_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("empty") << 0;
        QTest::newRow("header only") << 1;
        QTest::newRow("cut in half") << 2;
        QTest::newRow("last byte missing") << 3;
        QTest::newRow("not a JPEG") << 4;
        QTest::newRow("start marker then garbage") << 5;
        QTest::newRow("scan data overwritten") << 6;
    }
    void damagedDataFailsCleanly()
    {
        QFETCH(int, kind);
        std::vector<uint8_t> data = LogoBytes();
        QVERIFY(data.size() > 1000);
        switch (kind) {
        case 0: data.clear(); break;
        case 1: data.resize(200); break;
        case 2: data.resize(data.size() / 2); break;
        case 3: data.resize(data.size() - 300); break;
        case 4: data.assign(2000, 0x5A); break;
        case 5: data = {0xFF, 0xD8, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0}; break;
        case 6:
            for (std::size_t i = data.size() / 3; i < data.size() - 2; ++i)
                data[i] = 0xFF;
            break;
        }
        const JpegDecodeResult result = DecodeJpeg(data);
        QVERIFY(!result.Ok());
        QVERIFY(!result.Error.empty());
        QCOMPARE(result.Image.Width, 0);
        QVERIFY(result.Image.Rgb.empty());
    }

    void logoIsScaledDownProportionallyToFitItsArea()
    {
        QString error;
        const QImage logo = LoadLogo(error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(FitInside(logo, QSize(105, 86)).size(), QSize(105, 85));
        // A small picture is not enlarged.
        const QImage small(40, 30, QImage::Format_RGB888);
        QCOMPARE(FitInside(small, QSize(105, 86)).size(), QSize(40, 30));
        // A tall one is limited by the height.
        const QImage tall(100, 200, QImage::Format_RGB888);
        QCOMPARE(FitInside(tall, QSize(105, 86)).size(), QSize(43, 86));
    }

    void windowIconIs32By32()
    {
        const QIcon icon = WindowIcon();
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.availableSizes().value(0), QSize(32, 32));
    }
};

QTEST_MAIN(JpegDecoderTest)
#include "jpeg_decoder_test.moc"
