#include "ver_2/thumbnails.h"

#include <memory>

#include "platform/base/file_holders.h"
#include "platform/base/kx_paths.h"
#include "platform/image/image_holders.h"
#include "platform/image/kx_imgfmt.h"
#include "ver_2/image_conversions.h"

namespace ver_2 {

namespace {

std::vector<uint8_t> EncodeJpeg(KXImage image) {
    KXBuffer raw = nullptr;
    if (KXImgFmt_SaveJpegImageToBuffer(image, nullptr, &raw) != 0) return {};
    BufferHolder buffer(raw);
    const uint8_t* data = KXBase_GetBufferData(buffer.get());
    return std::vector<uint8_t>(data, data + KXBase_GetBufferSize(buffer.get()));
}

// The other formats have no in-memory encoder: the file is written to the
// temporary folder and read back.
std::vector<uint8_t> EncodeThroughFile(KXImage image, uint32_t format) {
    TemporaryFile file;
    if (file.path().empty() || KXImgFmt_SaveImage(image, format, nullptr, file.path().c_str()) != 0)
        return {};
    std::string extension;
    return ReadImageFile(file.path(), extension);
}

}  // namespace

std::vector<uint8_t> MakeThumbnail(const std::string& path) {
    uint32_t format = KX_FORMAT_UNKNOWN;
    if (!KXBase_IsRegularFile(path.c_str()) || KXImgFmt_GetImgFmtType(path.c_str(), &format) != 0 ||
        format == KX_FORMAT_UNKNOWN) {
        return {};
    }
    // The scaled load decodes the picture directly at thumbnail size (JPEG
    // pages through DCT scaling), so a page is never decoded whole.
    KXImage loaded = nullptr;
    if (KXImgFmt_LoadImageScaled(path.c_str(), format, kThumbnailSide, KX_PIXEL_KEEP,
                                 KX_ORIGIN_TOP_LEFT, &loaded) != 0) {
        return {};
    }
    ImageHolder thumbnail(loaded);
    if (format == KX_FORMAT_JPEG) return EncodeJpeg(thumbnail.get());
    return EncodeThroughFile(thumbnail.get(), format);
}

std::vector<uint8_t> BytesToThumbnail(const std::vector<uint8_t>& bytes, std::string& extension) {
    extension.clear();
    TemporaryFile file;
    if (file.path().empty() || !WriteBytesToFile(bytes.data(), bytes.size(), file.path()))
        return {};
    uint32_t format = KX_FORMAT_UNKNOWN;
    if (KXImgFmt_GetImgFmtType(file.path().c_str(), &format) != 0) return {};
    std::vector<uint8_t> thumb = MakeThumbnail(file.path());
    if (!thumb.empty()) extension = ExtensionOfFormat(format);
    return thumb;
}

}  // namespace ver_2
