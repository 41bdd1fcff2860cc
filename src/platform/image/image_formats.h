// The image and document formats the service reads and writes, in one table:
// format code, the extension its files are given (and its other spelling),
// the data-URL prefix pages send and receive it with, and whether it holds
// several pages. Any thread; the table is constant.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

struct ImageFormatName {
    uint32_t code;              // KX_FORMAT_*
    const char* extension;      // "jpg"
    const char* alias;          // another spelling of the extension ("jpeg"), or ""
    const char* dataUrlPrefix;  // "data:image/jpeg;base64,"
    bool multiPage;             // TIFF, PDF and OFD documents
};

// JPEG first: the format a page takes when nothing else is said.
std::span<const ImageFormatName> ImageFormatNames();

// The entry of a format code, or null.
const ImageFormatName* FindImageFormat(uint32_t code);
// The entry whose extension is extension exactly ("jpg", never "JPG" or
// "jpeg"), as stored names and settings spell it; null when none.
const ImageFormatName* FindImageFormatByExtension(std::string_view extension);
// The same, also taking the alias and any letter case, as file names come.
const ImageFormatName* FindImageFormatByFileExtension(std::string_view extension);
// The entry whose data-URL prefix is prefix ("data:image/png;base64,"), or null.
const ImageFormatName* FindImageFormatByDataUrlPrefix(std::string_view prefix);
