#include "output/JpegCompressor.h"

#include <stdio.h>

#include <jpeglib.h>

#include "platform/DurableStream.h"
#include "platform/NonLocalJump.h"

namespace {

// libjpeg's error manager with the place to return to when the library
// gives up: error_exit must never return into the library.
struct JpegErrorManager {
    jpeg_error_mgr manager;
    RecoveryPoint recovery;
};

// Nothing is ever shown: every message is formatted and dropped.
void OnJpegMessage(j_common_ptr info)
{
    char text[JMSG_LENGTH_MAX];
    info->err->format_message(info, text);
}

void OnJpegError(j_common_ptr info)
{
    info->err->output_message(info);
    JUMP_TO_RECOVERY_POINT(reinterpret_cast<JpegErrorManager*>(info->err)->recovery, 1);
}

void OnJpegReset(j_common_ptr info)
{
    info->err->num_warnings = 0;
    info->err->msg_code = 0;
}

// Arms the recovery point and makes every library call of one compression,
// from creating the record to finishing the file. True when the library
// finished; false when it gave up and came back to the recovery point, the
// record then still to be destroyed. The record and the error manager
// belong to the caller, so nothing that lives in this function's own frame
// is changed between setjmp and the jump back.
bool CompressRows(jpeg_compress_struct& info, JpegErrorManager& errors, FILE* file, int width,
                  int height, int quality, const unsigned char* rgbRows)
{
    if (SET_RECOVERY_POINT(errors.recovery))
        return false;
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);

    const size_t rowBytes = 3 * static_cast<size_t>(width);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgbRows + info.next_scanline * rowBytes);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}

}  // namespace

int CompressRgbToStream(FILE* file, int width, int height, int quality,
                        const unsigned char* rgbRows)
{
    jpeg_compress_struct info;
    JpegErrorManager errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnJpegError;
    errors.manager.output_message = OnJpegMessage;
    errors.manager.reset_error_mgr = OnJpegReset;

    if (!CompressRows(info, errors, file, width, height, quality, rgbRows)) {
        jpeg_destroy_compress(&info);
        fclose(file);
        return 0;
    }
    // The last bytes leave the runtime only now, and the file must be on
    // the disk before it takes its name: a failure of either is a failed
    // write like any other.
    bool closed = FlushStreamToDisk(file);
    closed = fclose(file) == 0 && closed;
    jpeg_destroy_compress(&info);
    return closed ? 1 : 0;
}
