// Saving single images: the KXImgFmt_ save calls.
#include <cstring>
#include <vector>

#include "platform/base/guarded_call.h"
#include "platform/base/kx_log.h"
#include "platform/image/bmp_codec.h"
#include "platform/image/file_io.h"
#include "platform/image/format_detect.h"
#include "platform/image/image_object.h"
#include "platform/image/jpeg_encoder.h"
#include "platform/image/kx_imgfmt.h"
#include "platform/image/ofd_package.h"
#include "platform/image/pdf_writer.h"
#include "platform/image/png_codec.h"
#include "platform/image/tiff_codec.h"
#include "platform/image/tiff_stream.h"

using namespace kximage;

namespace {

uint32_t JpegQualityOf(const ImageSaveInfo* info) {
    return info == nullptr ? kDefaultJpegQuality : info->jpegQuality;
}

// The pristine bytes of the image, with the JFIF density set to the image's
// resolution when that changed; false when the image has no such bytes or
// they carry no JFIF header to fix.
bool PristineBytes(const KXImageObject* image, std::vector<uint8_t>* bytes) {
    if (!image->jpeg) return false;
    const std::vector<uint8_t>& original = image->jpeg->bytes;
    if (image->dpi == image->jpeg->dpi) {
        *bytes = original;
        return true;
    }
    bool jfif = original.size() > 18 && original[2] == 0xFF && original[3] == 0xE0 &&
                std::memcmp(&original[6], "JFIF\0", 5) == 0;
    if (!jfif || image->dpi > 65535) return false;
    *bytes = original;
    (*bytes)[13] = 1;  // dots per inch
    for (int at : {14, 16}) {
        (*bytes)[at] = static_cast<uint8_t>(image->dpi >> 8);
        (*bytes)[at + 1] = static_cast<uint8_t>(image->dpi);
    }
    return true;
}

int EncodeSingle(KXImageObject* image, uint32_t format, const ImageSaveInfo* info,
                 std::vector<uint8_t>* bytes) {
    if (format == KX_FORMAT_JPEG && PristineBytes(image, bytes)) return KX_OK;
    int status = EnsurePixels(image);
    if (status != KX_OK) return status;
    switch (format) {
        case KX_FORMAT_JPEG:
            return EncodeJpeg(image, JpegQualityOf(info), bytes);
        case KX_FORMAT_BMP:
            return EncodeBmp(*image, bytes);
        default:
            return EncodePng(*image, bytes);
    }
}

int SaveTiff(KXImageObject* image, const ImageSaveInfo* info, const char* path) {
    int status = EnsurePixels(image);
    if (status != KX_OK) return status;
    TiffPtr tiff = OpenTiffFileWriter(path);
    if (!tiff) return KX_ERR_SYSTEM;
    RemoveOnFailure guard(path);
    uint32_t compression = info == nullptr ? KX_TIFF_LZW : info->tiffCompression;
    uint32_t quality = info == nullptr ? kDefaultJpegQuality : info->tiffJpegQuality;
    status = WriteTiffPage(tiff.get(), *image, compression, quality);
    if (status != KX_OK) return status;
    if (!TIFFFlush(tiff.get())) return KX_ERR_SYSTEM;
    tiff.reset();
    guard.Keep();
    return KX_OK;
}

int Save(KXImageObject* image, uint32_t format, const ImageSaveInfo* info, const char* path) {
    switch (format) {
        case KX_FORMAT_JPEG:
        case KX_FORMAT_BMP:
        case KX_FORMAT_PNG: {
            std::vector<uint8_t> bytes;
            int status = EncodeSingle(image, format, info, &bytes);
            if (status != KX_OK) return status;
            return WriteWholeFile(path, bytes.data(), bytes.size());
        }
        case KX_FORMAT_TIFF:
            return SaveTiff(image, info, path);
        case KX_FORMAT_PDF: {
            PdfDocumentWriter pdf;
            int status = pdf.AddPage(image, JpegQualityOf(info));
            return status != KX_OK ? status : pdf.Write(path);
        }
        case KX_FORMAT_OFD: {
            OfdPackage ofd;
            int status = ofd.AddPage(image, JpegQualityOf(info));
            return status != KX_OK ? status : ofd.Write(path);
        }
        default:
            return KX_ERR_ARGUMENT;
    }
}

}  // namespace

int KXImgFmt_SaveImage(KXImage image, uint32_t format, const ImageSaveInfo* info,
                       const char* path) {
    if (image == nullptr || path == nullptr) return KX_ERR_ARGUMENT;
    if (format == KX_FORMAT_UNKNOWN) format = FormatOfExtension(path);
    int status = GuardedCall("KXImgFmt_SaveImage", [&] { return Save(image, format, info, path); });
    if (status != KX_OK) KXBase_WriteInfo(KX_LOG_INFO, "image save failed (%d): %s", status, path);
    return status;
}

int KXImgFmt_SaveJpegImageToBuffer(KXImage image, const ImageSaveInfo* info, KXBuffer* buffer) {
    if (buffer == nullptr) return KX_ERR_ARGUMENT;
    *buffer = nullptr;
    if (image == nullptr) return KX_ERR_ARGUMENT;
    return GuardedCall("KXImgFmt_SaveJpegImageToBuffer", [&]() -> int {
        std::vector<uint8_t> bytes;
        int status = EncodeSingle(image, KX_FORMAT_JPEG, info, &bytes);
        if (status != KX_OK) return status;
        *buffer = NewBuffer(std::move(bytes));
        return *buffer != nullptr ? KX_OK : KX_ERR_SYSTEM;
    });
}
