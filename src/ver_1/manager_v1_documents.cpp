// ManagerV1's documents: multi-page OFD, PDF and TIFF files and ZIP
// archives of a pid's listed images, as files, bytes or Base64 text
// (service thread).
#include <memory>

#include "platform/base/encoding.h"
#include "platform/base/file_holders.h"
#include "platform/base/kx_paths.h"
#include "platform/base/kx_zip_writer.h"
#include "platform/base/service_thread.h"
#include "platform/image/kx_imgfmt.h"
#include "ver_1/image_store.h"
#include "ver_1/manager_v1.h"

namespace ver_1 {

namespace {

enum DocumentKind { kOfd, kPdf, kTiff };

// The largest document read back to be sent as data.
constexpr uint64_t kMaxDocumentBytes = uint64_t{1} << 30;

struct WriterCalls {
    int (*open)(const char* path, KXImgWriter* writer);
    int (*save)(KXImgWriter writer, KXImage image, const ImageSaveInfo* info);
    int (*close)(KXImgWriter writer);
};

WriterCalls CallsOf(int kind) {
    switch (kind) {
        case kOfd:
            return {KXImgFmt_OpenOfdImageWriter, KXImgFmt_SaveJpegImageToOfdImageWriter,
                    KXImgFmt_CloseOfdImageWriter};
        case kPdf:
            return {KXImgFmt_OpenPdfImageWriter, KXImgFmt_SaveJpegImageToPdfImageWriter,
                    KXImgFmt_ClosePdfImageWriter};
        default:
            return {KXImgFmt_OpenTiffWriter, KXImgFmt_SaveImageToTiffWriter,
                    KXImgFmt_CloseTiffWriter};
    }
}

}  // namespace

bool ManagerV1::MakeMultiPageFile(const std::string& pid, const std::string& path, int kind) {
    std::string folder;
    if (!ImageDirectory(pid, &folder)) return false;
    std::vector<std::string> names = ReadImageList(pid);
    if (names.empty()) return false;
    WriterCalls calls = CallsOf(kind);
    KXImgWriter writer = nullptr;
    if (calls.open(path.c_str(), &writer) != 0 || writer == nullptr) return false;
    int pages = 0;
    for (const std::string& name : names) {
        ImageHolder image = LoadRgbImage(folder + name);
        if (image != nullptr && calls.save(writer, image.get(), nullptr) == 0) ++pages;
    }
    // A writer that fails or gets no page leaves path as it was.
    int closed = calls.close(writer);
    return pages > 0 && closed == 0;
}

bool ManagerV1::MakeOfdFile(const std::string& pid, const std::string& path) {
    return MakeMultiPageFile(pid, path, kOfd);
}

bool ManagerV1::MakePdfFile(const std::string& pid, const std::string& path) {
    return MakeMultiPageFile(pid, path, kPdf);
}

bool ManagerV1::MakeTiffFile(const std::string& pid, const std::string& path) {
    return MakeMultiPageFile(pid, path, kTiff);
}

bool ManagerV1::MakeZipFile(const std::string& pid, const std::string& path) {
    std::string folder;
    if (!ImageDirectory(pid, &folder)) return false;
    std::vector<std::string> names = ReadImageList(pid);
    if (names.empty()) return false;
    KXZipWriter archive(path);
    for (const std::string& name : names) {
        // A missing file is left out rather than failing the archive.
        archive.AddFile(AnsiToUtf8(name), folder + name);
    }
    return archive.Close() == 0;
}

bool ManagerV1::GetDocumentData(DocumentBuilder build, const std::string& pid,
                                std::vector<uint8_t>* bytes) {
    SB_ASSERT_SERVICE_THREAD();
    bytes->clear();
    if (scanning_) return false;
    TemporaryFile temporary;
    if (temporary.path().empty() || !(this->*build)(pid, temporary.path())) return false;
    return KXBase_ReadWholeFile(temporary.path().c_str(), kMaxDocumentBytes, bytes) == 0 &&
           !bytes->empty();
}

bool ManagerV1::GetDocumentBase64(DocumentBuilder build, const std::string& pid,
                                  std::string* text) {
    text->clear();
    std::vector<uint8_t> bytes;
    if (!GetDocumentData(build, pid, &bytes)) return false;
    *text = Base64Text(bytes.data(), bytes.size());
    return !text->empty();
}

bool ManagerV1::GetOfdData(const std::string& pid, std::vector<uint8_t>* bytes) {
    return GetDocumentData(&ManagerV1::MakeOfdFile, pid, bytes);
}

bool ManagerV1::GetPdfData(const std::string& pid, std::vector<uint8_t>* bytes) {
    return GetDocumentData(&ManagerV1::MakePdfFile, pid, bytes);
}

bool ManagerV1::GetTiffData(const std::string& pid, std::vector<uint8_t>* bytes) {
    return GetDocumentData(&ManagerV1::MakeTiffFile, pid, bytes);
}

bool ManagerV1::GetZipData(const std::string& pid, std::vector<uint8_t>* bytes) {
    return GetDocumentData(&ManagerV1::MakeZipFile, pid, bytes);
}

bool ManagerV1::GetOfdBase64(const std::string& pid, std::string* text) {
    return GetDocumentBase64(&ManagerV1::MakeOfdFile, pid, text);
}

bool ManagerV1::GetPdfBase64(const std::string& pid, std::string* text) {
    return GetDocumentBase64(&ManagerV1::MakePdfFile, pid, text);
}

bool ManagerV1::GetTiffBase64(const std::string& pid, std::string* text) {
    return GetDocumentBase64(&ManagerV1::MakeTiffFile, pid, text);
}

bool ManagerV1::GetZipBase64(const std::string& pid, std::string* text) {
    return GetDocumentBase64(&ManagerV1::MakeZipFile, pid, text);
}

}  // namespace ver_1
