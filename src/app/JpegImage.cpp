#include "app/JpegImage.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace orv::app {
namespace {

// libjpeg reports fatal errors through error_exit, which must not return:
// jump back to decodeJpeg and give up on the picture.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void onError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void onMessage(j_common_ptr) {}

// Pictures larger than this are not artwork of ours; refuse them before
// allocating.
constexpr JDIMENSION kMaxSide = 8192;

} // namespace

QImage decodeJpeg(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return {};
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = onError;
    err.base.output_message = onMessage;
    // Kept outside the setjmp scope so that a jump leaves no object half-built.
    QImage* volatile image = new QImage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        delete image;
        return {};
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || cinfo.image_width > kMaxSide
        || cinfo.image_height > kMaxSide) {
        jpeg_destroy_decompress(&cinfo);
        delete image;
        return {};
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    *image = QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                    QImage::Format_RGB888);
    if (image->isNull() || cinfo.output_components != 3) {
        jpeg_abort_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        delete image;
        return {};
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image->scanLine(static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    QImage result = *image;
    delete image;
    return result;
}

} // namespace orv::app
