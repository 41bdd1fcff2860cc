// Multi-page writers: the generic writer and the first-generation TIFF, PDF
// and OFD writers.
#include <memory>
#include <string>

#include "platform/base/guarded_call.h"
#include "platform/base/kx_files.h"
#include "platform/base/kx_log.h"
#include "platform/image/file_io.h"
#include "platform/image/format_detect.h"
#include "platform/image/image_object.h"
#include "platform/image/jpeg_encoder.h"
#include "platform/image/kx_imgfmt.h"
#include "platform/image/ofd_package.h"
#include "platform/image/pdf_writer.h"
#include "platform/image/tiff_codec.h"
#include "platform/image/tiff_stream.h"

using namespace kximage;

struct KXImgWriterObject {
    uint32_t format = KX_FORMAT_UNKNOWN;
    std::string path;
    TiffPtr tiff;
    std::unique_ptr<PdfDocumentWriter> pdf;
    std::unique_ptr<OfdPackage> ofd;
    size_t pages = 0;
};

namespace {

// PDF and OFD files are written at the close; making (and dropping) the
// file that would replace path tells the caller at once whether the path can
// be written, without touching what it holds.
bool CanCreate(const char* path) {
    return !KXBase_IsDirectory(path) && KXFileReplacement(path, KX_REPLACE_PLAIN).ok();
}

int OpenWriter(const char* path, uint32_t format, bool jpegPagesOnly, KXImgWriter* writer) {
    if (writer == nullptr) return KX_ERR_ARGUMENT;
    *writer = nullptr;
    if (path == nullptr) return KX_ERR_ARGUMENT;
    auto made = std::make_unique<KXImgWriterObject>();
    made->format = format;
    made->path = path;
    switch (format) {
        case KX_FORMAT_TIFF:
            made->tiff = OpenTiffFileWriter(path);
            if (!made->tiff) return KX_ERR_SYSTEM;
            break;
        case KX_FORMAT_PDF:
            if (!CanCreate(path)) return KX_ERR_SYSTEM;
            made->pdf = std::make_unique<PdfDocumentWriter>(jpegPagesOnly ? kJpegPagePictures
                                                                          : PagePictures{});
            break;
        case KX_FORMAT_OFD:
            if (!CanCreate(path)) return KX_ERR_SYSTEM;
            made->ofd = std::make_unique<OfdPackage>(jpegPagesOnly ? kJpegPagePictures
                                                                   : OfdPackage::kDefaultPictures);
            break;
        default:
            return KX_ERR_ARGUMENT;
    }
    *writer = made.release();
    return KX_OK;
}

int AddPageTo(KXImgWriter writer, uint32_t format, KXImage image, const ImageSaveInfo* info) {
    if (writer == nullptr || image == nullptr || writer->format != format) return KX_ERR_ARGUMENT;
    uint32_t quality = info == nullptr ? kDefaultJpegQuality : info->jpegQuality;
    int status;
    if (format == KX_FORMAT_TIFF) {
        status = EnsurePixels(image);
        if (status == KX_OK)
            status = WriteTiffPage(writer->tiff.get(), *image,
                                   info == nullptr ? KX_TIFF_LZW : info->tiffCompression,
                                   info == nullptr ? kDefaultJpegQuality : info->tiffJpegQuality);
    } else if (format == KX_FORMAT_PDF) {
        status = writer->pdf->AddPage(image, quality);
    } else {
        status = writer->ofd->AddPage(image, quality);
    }
    if (status == KX_OK) ++writer->pages;
    return status;
}

int Finish(KXImgWriterObject* writer) {
    if (writer->pages == 0) {
        // Only a TIFF file exists from the open on.
        if (writer->tiff) {
            writer->tiff.reset();
            KXBase_DeleteFile(writer->path.c_str());
        }
        return KX_ERR_STATE;
    }
    if (writer->tiff) {
        bool flushed = TIFFFlush(writer->tiff.get()) != 0;
        writer->tiff.reset();
        if (!flushed) KXBase_DeleteFile(writer->path.c_str());
        return flushed ? KX_OK : KX_ERR_SYSTEM;
    }
    if (writer->pdf) return writer->pdf->Write(writer->path.c_str());
    return writer->ofd->Write(writer->path);
}

// Any writer may be closed by any close call; the writer is released in
// every case.
int Close(KXImgWriter writer) {
    if (writer == nullptr) return KX_ERR_ARGUMENT;
    std::unique_ptr<KXImgWriterObject> owned(writer);
    int status = GuardedCall("close image writer", [&] { return Finish(owned.get()); });
    if (status != KX_OK)
        KXBase_WriteInfo(KX_LOG_INFO, "document write failed (%d): %s", status,
                         owned->path.c_str());
    return status;
}

int Open(const char* path, uint32_t format, bool jpegPagesOnly, KXImgWriter* writer) {
    return GuardedCall("open image writer",
                       [&] { return OpenWriter(path, format, jpegPagesOnly, writer); });
}

int AddPage(KXImgWriter writer, uint32_t format, KXImage image, const ImageSaveInfo* info) {
    return GuardedCall("add page", [&] { return AddPageTo(writer, format, image, info); });
}

}  // namespace

int KXImgFmt_OpenImageWriter(const char* path, uint32_t format, KXImgWriter* writer) {
    if (format == KX_FORMAT_UNKNOWN && path != nullptr) format = FormatOfExtension(path);
    return Open(path, format, false, writer);
}

int KXImgFmt_SaveImageToWriter(KXImgWriter writer, KXImage image, const ImageSaveInfo* info) {
    return AddPage(writer, writer == nullptr ? 0 : writer->format, image, info);
}

int KXImgFmt_CloseImageWriter(KXImgWriter writer) {
    return Close(writer);
}

int KXImgFmt_OpenTiffWriter(const char* path, KXImgWriter* writer) {
    return Open(path, KX_FORMAT_TIFF, false, writer);
}

int KXImgFmt_SaveImageToTiffWriter(KXImgWriter writer, KXImage image, const ImageSaveInfo* info) {
    return AddPage(writer, KX_FORMAT_TIFF, image, info);
}

int KXImgFmt_CloseTiffWriter(KXImgWriter writer) {
    return Close(writer);
}

int KXImgFmt_OpenPdfImageWriter(const char* path, KXImgWriter* writer) {
    return Open(path, KX_FORMAT_PDF, true, writer);
}

int KXImgFmt_SaveJpegImageToPdfImageWriter(KXImgWriter writer, KXImage image,
                                           const ImageSaveInfo* info) {
    return AddPage(writer, KX_FORMAT_PDF, image, info);
}

int KXImgFmt_ClosePdfImageWriter(KXImgWriter writer) {
    return Close(writer);
}

int KXImgFmt_OpenOfdImageWriter(const char* path, KXImgWriter* writer) {
    return Open(path, KX_FORMAT_OFD, true, writer);
}

int KXImgFmt_SaveJpegImageToOfdImageWriter(KXImgWriter writer, KXImage image,
                                           const ImageSaveInfo* info) {
    return AddPage(writer, KX_FORMAT_OFD, image, info);
}

int KXImgFmt_CloseOfdImageWriter(KXImgWriter writer) {
    return Close(writer);
}
