// Calls on image handles for the image libraries themselves (the image-file
// and image-processing libraries), not for the back ends.
//
// Same thread rule as the image handle: one thread at a time per image.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/image/kx_image.h"

// Read-only pixel access: *data = the first byte of row 0, as
// KXBase_GetImageData gives it, but the image stays pristine (an unmodified
// image loaded from a JPEG file keeps its JPEG bytes). The caller must not
// write through the pointer. Decodes a pending JPEG; fails when that fails.
int KXImage_GetConstData(KXImage image, const uint8_t** data);

// The JPEG bytes of an image that was loaded from a JPEG file (or a JPEG page
// of a PDF or OFD) and not modified since: true and *bytes, *size set; false
// when the image has none. The bytes belong to the image and stay valid until
// it is changed or destroyed.
bool KXImage_PristineJpeg(KXImage image, const uint8_t** bytes, size_t* size);
