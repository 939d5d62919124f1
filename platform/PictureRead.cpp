#include "platform/PictureRead.h"

#include "resources/MessageIds.h"
#include "resources/StringTable.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace vimra {

namespace {

// Qt's own PNG reader decodes the whole picture even when asked for a smaller
// one (gigabytes for 20000 x 20000), and refuses more than a million rows or
// columns. A PNG larger than it is shown is read here instead, row by row,
// each row added into the pixels it is shown in: memory follows the shown
// size. The bounds keep one row, and the time spent decoding, in reason.
constexpr qint64 kMaxPngPixels = qint64(1) << 30;
constexpr quint32 kMaxPngWidth = quint32(1) << 23;

// A reader that decodes to about the size asked for may use more than Qt's
// default 128 MB on the way (a JPEG at an eighth of 65500 x 65500 takes 270 MB).
constexpr int kScaledReadLimitMB = 512;

QString notValid(const QString& path, const QString& reason = {})
{
    QString out = text(msg::FileNotValid) + QStringLiteral(": ") + path;
    return reason.isEmpty() ? out : out + QStringLiteral(": ") + reason;
}

QString tooLarge(const QString& path, QSize size)
{
    return path + QLatin1Char(' ') + text(msg::PictureTooLarge)
         + QStringLiteral(" (%1 × %2)").arg(size.width()).arg(size.height());
}

struct PngRead {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const png_byte* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    char error[200] = {};
};

void pngReadBytes(png_structp png, png_bytep out, size_t length)
{
    auto* r = static_cast<PngRead*>(png_get_io_ptr(png));
    if (length > r->size - r->pos)
        png_error(png, "the file ends before the picture does");
    std::memcpy(out, r->data + r->pos, length);
    r->pos += length;
}

void pngFail(png_structp png, png_const_charp message)
{
    auto* r = static_cast<PngRead*>(png_get_error_ptr(png));
    std::snprintf(r->error, sizeof r->error, "%s", message);
    png_longjmp(png, 1);
}

void pngWarn(png_structp, png_const_charp) {}

struct PngHeader {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int channels = 0; // 8 bits each: grey, grey and alpha, RGB, RGBA
    bool interlaced = false;
};

enum class PngStart { Failed, TooLarge, Ready };

// libpng reports errors by longjmp: the two functions that call it hold
// nothing that needs destroying.
PngStart pngHeader(PngRead& r, PngHeader& h)
{
    if (setjmp(png_jmpbuf(r.png)))
        return PngStart::Failed;
    png_set_user_limits(r.png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_read_info(r.png, r.info);
    h.width = png_get_image_width(r.png, r.info);
    h.height = png_get_image_height(r.png, r.info);
    // Refused before libpng sets up its rows, which take the width's memory.
    if (qint64(h.width) * h.height > kMaxPngPixels || h.width > kMaxPngWidth)
        return PngStart::TooLarge;
    const int type = png_get_color_type(r.png, r.info);
    const int depth = png_get_bit_depth(r.png, r.info);
    if (type == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(r.png);
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(r.png);
    if (png_get_valid(r.png, r.info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(r.png);
    if (depth == 16)
        png_set_scale_16(r.png);
    png_read_update_info(r.png, r.info);
    h.channels = png_get_channels(r.png, r.info);
    h.interlaced = png_get_interlace_type(r.png, r.info) == PNG_INTERLACE_ADAM7;
    return PngStart::Ready;
}

// Where the pixels of one decoded row add up: `sums` is the shown row the
// source row falls in, `bin` the shown column of each source column.
template <int C>
void addRow(const png_byte* row, png_uint_32 cols, png_uint_32 x0, png_uint_32 dx, const quint32* bin, quint32* sums)
{
    for (png_uint_32 k = 0; k < cols; ++k, row += C) {
        quint32* sum = sums + size_t(bin[x0 + k * dx]) * C;
        if constexpr (C == 2 || C == 4) {
            // Colours add up weighted by their alpha, as premultiplied.
            const quint32 a = row[C - 1];
            for (int c = 0; c < C - 1; ++c)
                sum[c] += (row[c] * a + 127) / 255;
            sum[C - 1] += a;
        } else {
            for (int c = 0; c < C; ++c)
                sum[c] += row[c];
        }
    }
}

struct PngBins {
    const quint32* colBin;
    quint32* sums;
    int shownWidth;
    int shownHeight;
};

bool pngRows(PngRead& r, const PngHeader& h, png_byte* row, const PngBins& bins)
{
    if (setjmp(png_jmpbuf(r.png)))
        return false;
    // An interlaced picture comes as seven smaller ones, each pixel of which
    // has its place in the whole.
    const int passes = h.interlaced ? 7 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        png_uint_32 x0 = 0, dx = 1, y0 = 0, dy = 1, cols = h.width, rows = h.height;
        if (h.interlaced) {
            x0 = PNG_PASS_START_COL(pass);
            dx = png_uint_32(1) << PNG_PASS_COL_SHIFT(pass);
            y0 = PNG_PASS_START_ROW(pass);
            dy = png_uint_32(1) << PNG_PASS_ROW_SHIFT(pass);
            cols = PNG_PASS_COLS(h.width, pass);
            rows = cols == 0 ? 0 : PNG_PASS_ROWS(h.height, pass); // libpng skips an empty pass
        }
        for (png_uint_32 i = 0; i < rows; ++i) {
            png_read_row(r.png, row, nullptr);
            const quint64 y = y0 + quint64(i) * dy;
            quint32* sums = bins.sums + (y * bins.shownHeight / h.height) * bins.shownWidth * h.channels;
            switch (h.channels) {
            case 1: addRow<1>(row, cols, x0, dx, bins.colBin, sums); break;
            case 2: addRow<2>(row, cols, x0, dx, bins.colBin, sums); break;
            case 3: addRow<3>(row, cols, x0, dx, bins.colBin, sums); break;
            default: addRow<4>(row, cols, x0, dx, bins.colBin, sums); break;
            }
        }
    }
    return true;
}

// How many source pixels along one side fall in each shown one.
std::vector<quint32> binsAlong(quint32 length, int shown, std::vector<quint32>* bin)
{
    std::vector<quint32> count(size_t(shown), 0);
    if (bin)
        bin->resize(length);
    for (quint32 x = 0; x < length; ++x) {
        const auto b = quint32(quint64(x) * shown / length);
        ++count[b];
        if (bin)
            (*bin)[x] = b;
    }
    return count;
}

QString readLargePng(const QByteArray& bytes, const QString& path, QSize largest, QImage& picture)
{
    PngRead r;
    r.data = reinterpret_cast<const png_byte*>(bytes.constData());
    r.size = size_t(bytes.size());
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, pngFail, pngWarn);
    if (!r.png)
        return notValid(path, qt_error_string(ENOMEM));
    r.info = png_create_info_struct(r.png);
    struct Release {
        PngRead& r;
        ~Release() { png_destroy_read_struct(&r.png, r.info ? &r.info : nullptr, nullptr); }
    } release{r};
    if (!r.info)
        return notValid(path, qt_error_string(ENOMEM));
    png_set_read_fn(r.png, &r, pngReadBytes);

    PngHeader h;
    switch (pngHeader(r, h)) {
    case PngStart::Failed:
        return notValid(path, QString::fromLocal8Bit(r.error));
    case PngStart::TooLarge:
        return tooLarge(path, QSize(int(h.width), int(h.height)));
    case PngStart::Ready:
        break;
    }
    const QSize shown = shownPictureSize(QSize(int(h.width), int(h.height)), largest);
    const int w = shown.width(), hh = shown.height(), c = h.channels;

    std::vector<quint32> colBin;
    const std::vector<quint32> colCount = binsAlong(h.width, w, &colBin);
    const std::vector<quint32> rowCount = binsAlong(h.height, hh, nullptr);
    std::vector<quint32> sums(size_t(w) * hh * c, 0);
    std::vector<png_byte> row(png_get_rowbytes(r.png, r.info));
    if (!pngRows(r, h, row.data(), PngBins{colBin.data(), sums.data(), w, hh}))
        return notValid(path, QString::fromLocal8Bit(r.error));

    const bool alpha = c == 2 || c == 4;
    QImage out(shown, c == 1 ? QImage::Format_Grayscale8 : alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (out.isNull())
        return notValid(path, qt_error_string(ENOMEM));
    for (int y = 0; y < hh; ++y) {
        const quint32* sum = sums.data() + size_t(y) * w * c;
        uchar* line = out.scanLine(y);
        for (int x = 0; x < w; ++x, sum += c) {
            const quint64 n = quint64(colCount[size_t(x)]) * rowCount[size_t(y)];
            const auto mean = [&](int i) { return int((sum[i] + n / 2) / n); };
            if (c == 1)
                line[x] = uchar(mean(0));
            else
                reinterpret_cast<QRgb*>(line)[x] = c == 2 ? qRgba(mean(0), mean(0), mean(0), mean(1))
                                                 : qRgba(mean(0), mean(1), mean(2), c == 4 ? mean(3) : 255);
        }
    }
    picture = std::move(out);
    return {};
}

} // namespace

QSize shownPictureSize(QSize size, QSize largest)
{
    if (size.width() <= largest.width() && size.height() <= largest.height())
        return size;
    return size.scaled(largest, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

QString readPicture(const QByteArray& bytes, const QByteArray& format, const QString& path, QSize largest,
                    QImage& picture)
{
    picture = QImage();
    QByteArray held = bytes;
    QBuffer buffer(&held);
    QImageReader reader(&buffer, format);
    // A PNG's size stands in its first 24 bytes, read here even where Qt
    // refuses it.
    if (bytes.startsWith("\x89PNG\r\n\x1a\n") && bytes.size() >= 24) {
        const auto be32 = [&](int at) { return qFromBigEndian<quint32>(bytes.constData() + at); };
        const quint64 width = be32(16), height = be32(20);
        if (width > quint64(largest.width()) || height > quint64(largest.height()))
            return readLargePng(bytes, path, largest, picture);
    }
    const QSize size = reader.size();
    // Without a size in its header the picture is not decoded: how much
    // memory it would take is unknown.
    if (!size.isValid())
        return notValid(path);
    const QSize shown = shownPictureSize(size, largest);
    const bool scaledRead = shown != size && reader.supportsOption(QImageIOHandler::ScaledSize);
    if (shown != size)
        reader.setScaledSize(shown);
    {
        // Qt's limit holds for every reader in the program: lifted for this
        // one read only. Pictures are read on the main thread alone.
        const int limit = QImageReader::allocationLimit();
        if (scaledRead)
            QImageReader::setAllocationLimit(kScaledReadLimitMB);
        picture = reader.read();
        QImageReader::setAllocationLimit(limit);
    }
    if (!picture.isNull())
        return {};
    // Any other reader decodes the whole picture first, within Qt's limit.
    const qint64 limit = qint64(QImageReader::allocationLimit()) << 20;
    if (!scaledRead && limit > 0 && qint64(size.width()) * size.height() * 4 > limit)
        return tooLarge(path, size);
    return notValid(path, reader.errorString());
}

} // namespace vimra
