// Recognising image and document files by their first bytes, and format codes
// from file extensions. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kximage {

// The format of content starting with head: JPEG FF D8 FF, BMP "BM", PNG's
// signature, TIFF "II*\0" or "MM\0*" (BigTIFF too), PDF "%PDF-"; a ZIP
// archive gives KX_FORMAT_OFD only when isOfdZip says it holds OFD.xml.
uint32_t FormatOfContent(const uint8_t* head, size_t size, bool isOfdZip);
bool IsZipHead(const uint8_t* head, size_t size);

// The format of the file at path; KX_ERR_NOT_FOUND when it cannot be read.
int DetectFileFormat(const char* path, uint32_t* format);

// The format named by the path's extension ("jpg", "jpeg", "bmp", "png",
// "tif", "tiff", "pdf", "ofd", any case); 0 when none.
uint32_t FormatOfExtension(const char* path);

}  // namespace kximage
