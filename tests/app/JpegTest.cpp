// The splash picture's decoder: our artwork decodes; damaged data never crashes.
#include "app/JpegImage.h"

#include <QBuffer>
#include <QFile>
#include <gtest/gtest.h>

static void initResources() { Q_INIT_RESOURCE(app); }

namespace orv::app {
namespace {

QByteArray splashBytes()
{
    initResources();
    QFile f(QStringLiteral(":/app/resources/splash.jpg"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

TEST(JpegImage, SplashPictureDecodesAtItsSize)
{
    const QImage image = decodeJpeg(splashBytes());
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(441, 357));
    // Dark navy at the top, lighter blue at the bottom: the colours came through.
    const QColor top = image.pixelColor(5, 5);
    const QColor bottom = image.pixelColor(5, 350);
    EXPECT_LT(top.blue(), bottom.blue());
    EXPECT_GT(top.blue(), top.red());
}

TEST(JpegImage, DamagedInputGivesANullImageOrAPicture)
{
    const QByteArray good = splashBytes();
    EXPECT_TRUE(decodeJpeg({}).isNull());
    EXPECT_TRUE(decodeJpeg("not a jpeg at all").isNull());
    EXPECT_TRUE(decodeJpeg(good.left(20)).isNull()) << "header cut short";
    // Cut inside the scan data: libjpeg fills the rest; we only require no crash.
    (void)decodeJpeg(good.left(good.size() / 2));
    QByteArray flipped = good;
    for (int i = 200; i < flipped.size(); i += 97)
        flipped[i] = char(flipped[i] ^ 0x5A);
    (void)decodeJpeg(flipped);
    // A header claiming an enormous picture is refused before allocating.
    QByteArray huge = good;
    const int sof = huge.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    huge[sof + 5] = char(0xFF);
    huge[sof + 6] = char(0xFF);
    EXPECT_TRUE(decodeJpeg(huge).isNull());
}

} // namespace
} // namespace orv::app
