#include "ver_1/readers.h"

#include <jpeglib.h>
#include <poppler-document.h>
#include <setjmp.h>
#include <tiffio.h>
#include <unistd.h>
#include <zip.h>

#include <cstdio>

#include "platform/base/kx_system.h"
#include "support/temp_dir.h"

namespace testing_support {

namespace {

struct JpegFailure {
    jpeg_error_mgr manager;
    jmp_buf jump;
};

void OnJpegError(j_common_ptr info) {
    longjmp(reinterpret_cast<JpegFailure*>(info->err)->jump, 1);
}

}  // namespace

DecodedJpeg DecodeJpeg(const std::string& bytes) {
    DecodedJpeg image;
    jpeg_decompress_struct info{};
    JpegFailure failure{};
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = OnJpegError;
    if (setjmp(failure.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return DecodedJpeg{};
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return image;
    }
    jpeg_start_decompress(&info);
    image.size = {info.output_width, info.output_height};
    image.components = info.output_components;
    size_t stride = static_cast<size_t>(info.output_width) * info.output_components;
    image.pixels.resize(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.pixels.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return image;
}

ImageSize JpegFileSize(const std::string& path) {
    return DecodeJpeg(ReadFile(path)).size;
}

std::string DecodeBase64Text(const std::string& text) {
    size_t size = 0;
    if (KXBase_Base64Decode(text.data(), text.size(), nullptr, &size) != 0) return "";
    std::string bytes(size, '\0');
    if (KXBase_Base64Decode(text.data(), text.size(), bytes.data(), &size) != 0) return "";
    bytes.resize(size);
    return bytes;
}

ImageSize JpegDataUrlSize(const std::string& dataUrl) {
    static const std::string kPrefix = "data:image/jpeg;base64,";
    if (dataUrl.rfind(kPrefix, 0) != 0) return {};
    return DecodeJpeg(DecodeBase64Text(dataUrl.substr(kPrefix.size()))).size;
}

int PdfPageCount(const std::string& bytes) {
    poppler::byte_array data(bytes.begin(), bytes.end());
    poppler::document* document = poppler::document::load_from_data(&data);
    if (document == nullptr) return -1;
    int pages = document->pages();
    delete document;
    return pages;
}

int TiffPageCount(const std::string& bytes) {
    TempDir dir;
    std::string path = dir.File("document.tif");
    WriteFile(path, bytes);
    TIFFSetErrorHandler(nullptr);
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (tiff == nullptr) return -1;
    int pages = TIFFNumberOfDirectories(tiff);
    TIFFClose(tiff);
    return pages;
}

std::vector<std::string> ZipEntries(const std::string& bytes) {
    std::vector<std::string> names;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* archive = source != nullptr ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (archive == nullptr) {
        if (source != nullptr) zip_source_free(source);
        zip_error_fini(&error);
        return names;
    }
    zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i)
        names.push_back(zip_get_name(archive, static_cast<zip_uint64_t>(i), 0));
    zip_discard(archive);
    zip_error_fini(&error);
    return names;
}

}  // namespace testing_support
