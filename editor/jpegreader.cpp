// JPEG pictures decoded with libjpeg-turbo, for inserting a JPEG file into a body.
#include "jpegreader.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>
#include <jerror.h>

namespace velkora::editor {

namespace {

struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void fail(j_common_ptr info)
{
    auto *e = reinterpret_cast<ErrorManager *>(info->err);
    (*info->err->format_message)(info, e->message);
    std::longjmp(e->jump, 1);
}

void warn(j_common_ptr info, int level)
{
    // A warning (level -1) means damaged data, which the library would paper over with grey; stray
    // bytes before a marker are the one kind that loses no picture data.
    if (level < 0 && info->err->msg_code != JWRN_EXTRANEOUS_DATA)
        fail(info);
}

} // namespace

QImage readJpeg(const QByteArray &bytes, QString *error)
{
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = fail;
    errors.base.emit_message = warn;
    // Everything that must survive the jump is declared before setjmp.
    QImage image;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        if (error)
            *error = QString::fromLocal8Bit(errors.message);
        return QImage();
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (info.image_width == 0 || info.image_height == 0 || info.image_width > MaxPictureSide
        || info.image_height > MaxPictureSide
        || static_cast<qint64>(info.image_width) * info.image_height > MaxPicturePixels) {
        jpeg_destroy_decompress(&info);
        if (error)
            *error = QStringLiteral("JPEG image too large (%1 x %2)").arg(info.image_width).arg(info.image_height);
        return QImage();
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : (info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB);
    jpeg_start_decompress(&info);
    image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height), QImage::Format_RGB32);
    if (image.isNull()) {
        jpeg_destroy_decompress(&info);
        if (error)
            *error = QStringLiteral("Out of memory for the JPEG image");
        return QImage();
    }
    // The row buffer comes from the library's pool, which jpeg_destroy_decompress frees even after
    // a jump out of the library: nothing with a destructor is made after setjmp.
    JSAMPARRAY rows = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                info.output_width * info.output_components, 1);
    // Adobe writes CMYK inverted; others write it plain.
    const bool inverted = cmyk && info.saw_Adobe_marker;
    while (info.output_scanline < info.output_height) {
        const int y = static_cast<int>(info.output_scanline);
        jpeg_read_scanlines(&info, rows, 1);
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        const unsigned char *p = rows[0];
        for (JDIMENSION x = 0; x < info.output_width; ++x) {
            if (cmyk) {
                int c = p[4 * x], m = p[4 * x + 1], yl = p[4 * x + 2], k = p[4 * x + 3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    yl = 255 - yl;
                    k = 255 - k;
                }
                out[x] = qRgb(c * k / 255, m * k / 255, yl * k / 255);
            } else if (info.output_components == 1) {
                out[x] = qRgb(p[x], p[x], p[x]);
            } else {
                out[x] = qRgb(p[3 * x], p[3 * x + 1], p[3 * x + 2]);
            }
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return image;
}

} // namespace velkora::editor
