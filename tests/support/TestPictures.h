#pragma once

#include <QByteArray>

#include <png.h>
#include <zlib.h>

#include <functional>
#include <vector>

namespace vimra::test {

// A PNG written at test time: one colour compresses a picture of any size to
// little, so pictures far larger than Qt decodes cost only the writing.
// `fill` fills row `y` (its bytes as the PNG stores them); unset, rows are zero.
using PngFill = std::function<void(png_uint_32 y, std::vector<png_byte>& row)>;
inline QByteArray pngBytes(png_uint_32 width, png_uint_32 height, const PngFill& fill = {},
                           int colorType = PNG_COLOR_TYPE_GRAY, int bitDepth = 8, bool interlaced = false,
                           std::vector<png_color> palette = {}, std::vector<png_byte> paletteAlpha = {})
{
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const auto append = [](png_structp p, png_bytep data, size_t length) {
        static_cast<QByteArray*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(data), qsizetype(length));
    };
    png_set_write_fn(png, &out, append, nullptr);
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_set_IHDR(png, info, width, height, bitDepth, colorType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (!paletteAlpha.empty())
        png_set_tRNS(png, info, paletteAlpha.data(), int(paletteAlpha.size()), nullptr);
    // Runs of one byte are what these pictures hold: the fastest way to write them.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_strategy(png, Z_RLE);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    std::vector<png_byte> row(png_get_rowbytes(png, info), 0);
    for (int pass = png_set_interlace_handling(png); pass > 0; --pass)
        for (png_uint_32 y = 0; y < height; ++y) {
            if (fill)
                fill(y, row);
            png_write_row(png, row.data());
        }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

} // namespace vimra::test
