// MakeMultiImageFile and MakeZipArchive: one document
// or archive made of many files.
//
// Both appear at their path complete or not at all: the document is written
// under a sibling name and moved into place once its writer has closed
// without error, and the archive is built in memory and written beside its
// path, then renamed over it. A document or archive that ends with nothing in it,
// or whose close fails, leaves no file.
#include "platform/base/encoding.h"
#include "platform/base/kx_paths.h"
#include "platform/base/kx_zip_writer.h"
#include "platform/base/service_thread.h"
#include "platform/image/image_formats.h"
#include "platform/image/kx_imgfmt.h"
#include "ver_2/error_info.h"
#include "ver_2/image_operations.h"
#include "ver_2/output_files.h"

namespace ver_2 {

namespace {

// JPEG pages of PDF and OFD documents are encoded at this quality (pages
// from unmodified JPEG files keep their own bytes).
constexpr uint32_t kDocumentJpegQuality = 80;

uint32_t DocumentFormatCode(const std::string& format) {
    const ImageFormatName* names = FindImageFormatByExtension(format);
    return names != nullptr && names->multiPage ? names->code : KX_FORMAT_UNKNOWN;
}

// Adds every input that loads as a page; the number of pages written.
int WritePages(KXImgWriter writer, const std::vector<std::string>& paths,
               const ImageSaveInfo& info) {
    int pages = 0;
    for (const std::string& path : paths) {
        ImageHolder image = LoadImageFile(path, KX_PIXEL_KEEP);
        if (image && KXImgFmt_SaveImageToWriter(writer, image.get(), &info) == 0) ++pages;
    }
    return pages;
}

// Adds every readable input, named by names or else by its file name; the
// number of entries. A later input of the same name replaces the earlier
// entry.
int AddEntries(KXZipWriter& archive, const std::vector<std::string>& paths,
               const std::vector<std::string>& names) {
    int entries = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        std::string name = names.empty() ? std::string() : names[i];
        if (names.empty()) {
            char buffer[256] = {};
            KXBase_GetFileName(paths[i].c_str(), buffer, sizeof buffer);
            name = buffer;
        }
        if (archive.AddFile(AnsiToUtf8(name), paths[i])) ++entries;
    }
    return entries;
}

bool HasEmptyName(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        if (name.empty()) return true;
    }
    return false;
}

}  // namespace

int MakeMultiImageFile(OutputFiles& outputs, const std::vector<std::string>& paths,
                       const std::string& format, const std::string& compression, uint32_t quality,
                       bool temporary, std::string& path, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    path.clear();
    uint32_t formatCode = DocumentFormatCode(format);
    uint32_t compressionCode = DocumentCompressionCode(compression);
    if (paths.empty()) return Refuse(error, kNoInputs);
    if (formatCode == KX_FORMAT_UNKNOWN) {
        return Refuse(error, "format \"" + format + "\" is not one of tif, pdf, ofd");
    }
    if (compressionCode == 0) {
        return Refuse(error, "tiff_compression \"" + compression +
                                 "\" is not one of none, lzw, jpeg, ccitt-g4");
    }
    if (quality > 100) {
        return Refuse(error,
                      OutsideRange("tiff_jpeg_quality", static_cast<int32_t>(quality), 0, 100));
    }
    std::string name = outputs.MakeFileName(temporary, format);
    std::string partial = name + ".part";
    KXImgWriter writer = nullptr;
    if (KXImgFmt_OpenImageWriter(partial.c_str(), formatCode, &writer) != 0 || writer == nullptr) {
        KXBase_DeleteFile(partial.c_str());
        return Refuse(error, AboutFile("cannot write file", name));
    }
    ImageSaveInfo info{kDocumentJpegQuality, compressionCode, quality};
    int pages = WritePages(writer, paths, info);
    bool closed = KXImgFmt_CloseImageWriter(writer) == 0;
    if (pages == 0 || !closed || KXBase_MoveFile(partial.c_str(), name.c_str()) != 0) {
        KXBase_DeleteFile(partial.c_str());
        return Refuse(error, pages == 0 ? "none of the input images could be loaded"
                                        : AboutFile("cannot write file", name));
    }
    path = name;
    if (!temporary) outputs.AddSaveFilename(path);
    return 0;
}

int MakeZipArchive(OutputFiles& outputs, const std::vector<std::string>& paths,
                   const std::vector<std::string>& names, bool temporary, std::string& path,
                   ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    path.clear();
    if (paths.empty()) return Refuse(error, "no input files given");
    if (!names.empty() && (names.size() != paths.size() || HasEmptyName(names))) {
        return Refuse(error, "an archive entry has no name");
    }
    std::string name = outputs.MakeFileName(temporary, "zip");
    KXZipWriter archive(name);
    int entries = AddEntries(archive, paths, names);
    if (entries == 0) return Refuse(error, "none of the input files could be read");
    if (archive.Close() != 0) return Refuse(error, AboutFile("cannot write the archive", name));
    path = name;
    if (!temporary) outputs.AddSaveFilename(path);
    return 0;
}

}  // namespace ver_2
