#pragma once

#include <QByteArray>

#include <png.h>
#include <zlib.h>

#include <functional>
#include <vector>

namespace vimra::test {

// A PNG written at test time: one colour compresses a picture of any size
// to little, so pictures far larger than Qt decodes cost only the writing.
struct PngSpec {
    png_uint_32 width = 1;
    png_uint_32 height = 1;
    int colorType = PNG_COLOR_TYPE_GRAY;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;
    // Fills row `y` (its bytes as the PNG stores them); unset, rows are zero.
    std::function<void(png_uint_32 y, std::vector<png_byte>& row)> fill;
};

inline QByteArray pngBytes(const PngSpec& spec)
{
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t length) {
            static_cast<QByteArray*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(data), qsizetype(length));
        },
        nullptr);
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colorType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty())
        png_set_PLTE(png, info, spec.palette.data(), int(spec.palette.size()));
    if (!spec.paletteAlpha.empty())
        png_set_tRNS(png, info, spec.paletteAlpha.data(), int(spec.paletteAlpha.size()), nullptr);
    // Runs of one byte are what these pictures hold: the fastest way to write them.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_strategy(png, Z_RLE);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    std::vector<png_byte> row(png_get_rowbytes(png, info), 0);
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < spec.height; ++y) {
            if (spec.fill)
                spec.fill(y, row);
            png_write_row(png, row.data());
        }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

} // namespace vimra::test
