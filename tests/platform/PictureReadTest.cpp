#include "platform/PictureRead.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"
#include "support/TestPictures.h"

#include <QBuffer>
#include <QColor>
#include <QImageReader>
#include <QtEndian>

#include <gtest/gtest.h>

#include <sys/resource.h>

using namespace vimra;
using namespace vimra::test;

namespace {

const QSize kLargest(1920, 1080);

long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// A GIF declaring a picture of `width` x `height`: Qt decodes a GIF whole.
QByteArray gifOf(quint16 width, quint16 height)
{
    QByteArray gif("GIF89a");
    const auto le16 = [&](quint16 v) { gif.append(char(v & 255)).append(char(v >> 8)); };
    le16(width), le16(height);
    gif.append("\x80\0\0", 3).append("\0\0\0\xff\xff\xff", 6).append(',');
    le16(0), le16(0), le16(width), le16(height);
    return gif.append('\0').append("\x02\x02\x44\x01\0;", 6);
}

// A 1 x 1 PNG whose header declares `width` x `height`.
QByteArray declaring(png_uint_32 width, png_uint_32 height)
{
    QByteArray png = pngBytes(1, 1);
    qToBigEndian(width, png.data() + 16);
    qToBigEndian(height, png.data() + 20);
    qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(png.constData() + 12), 17)), png.data() + 29);
    return png;
}

auto grey(png_byte value)
{
    return [=](png_uint_32, std::vector<png_byte>& row) { std::fill(row.begin(), row.end(), value); };
}

} // namespace

// Each row: a picture file, the size it is shown at, and colours expected at
// points of it (as fractions of the shown size).
TEST(PictureRead, PicturesOfAnySizeQtReadsAreShownAtMostAFrameOfHighDefinition)
{
    // Red rises across, green down: every pass of an interlaced picture must land where it belongs.
    const auto gradient = [](png_uint_32 y, std::vector<png_byte>& row) {
        for (size_t x = 0; x < row.size() / 3; ++x)
            row[x * 3] = png_byte(x * 255 / 2999), row[x * 3 + 1] = png_byte(y * 255 / 999), row[x * 3 + 2] = 40;
    };
    QByteArray jpeg;
    QBuffer jpegBuffer(&jpeg);
    QImage wide(4000, 500, QImage::Format_RGB32);
    wide.fill(QColor(0, 0, 200));
    ASSERT_TRUE(wide.save(&jpegBuffer, "JPEG"));
    const struct {
        const char* what;
        QByteArray bytes;
        QSize shown;
        std::vector<std::pair<QPointF, QRgb>> colours;
    } rows[] = {
        {"20000 x 20000, past Qt's allocation limit", pngBytes(20000, 20000, grey(0x80)),
         {1080, 1080}, {{{0.5, 0.5}, qRgb(128, 128, 128)}}},
        {"1 x 5,000,000, past libpng's default of a million rows", pngBytes(1, 5000000, grey(0x30)),
         {1, 1080}, {{{0, 0.9}, qRgb(0x30, 0x30, 0x30)}}},
        {"interlaced RGB", pngBytes(3000, 1000, gradient, PNG_COLOR_TYPE_RGB, 8, true), {1920, 640},
         {{{0, 0}, qRgb(0, 0, 40)}, {{0.5, 0.5}, qRgb(128, 128, 40)}, {{0.999, 0.999}, qRgb(255, 255, 40)}}},
        {"palette with transparency", pngBytes(2500, 10, {}, PNG_COLOR_TYPE_PALETTE, 2, false, {{200, 100, 0}, {0, 0, 0}}, {128, 0}),
         {1920, 7}, {{{0.5, 0.5}, qRgba(200, 100, 0, 128)}}},
        {"16-bit grey and alpha", pngBytes(2200, 1100, grey(0xff), PNG_COLOR_TYPE_GRAY_ALPHA, 16),
         {1920, 960}, {{{0.5, 0.5}, qRgba(255, 255, 255, 255)}}},
        {"small PNG, as stored", pngBytes(300, 200, grey(40), PNG_COLOR_TYPE_RGB), {300, 200},
         {{{0, 0}, qRgb(40, 40, 40)}}},
        {"JPEG decoded scaled", jpeg, {1920, 240}, {{{0.5, 0.5}, qRgb(0, 0, 200)}}},
    };
    const int qtLimit = QImageReader::allocationLimit();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const long before = peakMegabytes();
        QImage picture;
        EXPECT_EQ(readPicture(row.bytes, QByteArray(), "p.png", kLargest, picture), "");
        EXPECT_LT(peakMegabytes() - before, 600); // Qt's own reader takes 2.3 GB for the largest
        ASSERT_EQ(picture.size(), row.shown);
        EXPECT_EQ(QImageReader::allocationLimit(), qtLimit) << "Qt's limit for other reads";
        for (const auto& [at, colour] : row.colours) {
            const QRgb got = picture.pixelColor(int(at.x() * row.shown.width()), int(at.y() * row.shown.height())).rgba();
            for (const int shift : {0, 8, 16, 24})
                EXPECT_NEAR((got >> shift) & 255, (colour >> shift) & 255, 3) << at.x() << "," << at.y() << " " << std::hex << got;
        }
    }
}

TEST(PictureRead, APictureThatCannotBeShownIsNamedWithTheReason)
{
    const QByteArray interlaced = pngBytes(3000, 100, {}, PNG_COLOR_TYPE_RGB, 8, true);
    const QString tooLarge = "p.png " + text(msg::PictureTooLarge);
    const struct {
        const char* what;
        QByteArray bytes;
        QString message;
    } rows[] = {
        {"not a picture", "plain text", "File not valid: p.png"},
        {"PNG cut short", interlaced.left(interlaced.size() / 2), "File not valid: p.png: the file ends before the picture does"},
        {"PNG of more pixels than are decoded", declaring(40000, 40000), tooLarge + " (40000 × 40000)"},
        {"PNG of the most columns there can be", declaring(PNG_UINT_31_MAX, 1), tooLarge + " (2147483647 × 1)"},
        {"GIF whole past Qt's limit", gifOf(12000, 12000), tooLarge + " (12000 × 12000)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        QImage picture(1, 1, QImage::Format_RGB32);
        EXPECT_EQ(readPicture(row.bytes, "png", "p.png", kLargest, picture).toStdString(), row.message.toStdString());
        EXPECT_TRUE(picture.isNull());
    }
}
