#include "tests/reference/JpegBaseline.h"

#include <stdio.h>

#include <jpeglib.h>

bool CompressPackedRgb(const char* unixPath, int width, int height, int quality,
                       const unsigned char* rgbRows)
{
    FILE* file = fopen(unixPath, "wb");
    if (!file)
        return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgbRows + info.next_scanline * 3 * width);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    fclose(file);
    jpeg_destroy_compress(&info);
    return true;
}
