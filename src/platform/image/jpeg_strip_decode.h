// Decoding a splittable JPEG stream (jpeg_strips.h) as two strips at once: the
// helper thread (helper_thread.h) decodes the bottom strip while the calling
// thread decodes the top one; when the helper is busy the caller decodes both
// in turn. Each strip writes its own rows of the same image, so nothing is
// copied or stacked afterwards. A strip of a few intervals is decoded one
// interval at a time, each a stream without restart markers (libjpeg-turbo's
// fast path), where no chroma smoothing reaches across intervals. The pixels
// are those of a whole-stream decode with the same settings.
//
// Any thread; the call returns only after both strips are done.
#pragma once

#include <cstdint>

#include "platform/image/image_object.h"
#include "platform/image/jpeg_strips.h"

namespace kximage {

// Decodes bytes (the stream layout describes) at scale eighths into image,
// whose pixels are allocated and whose size and type are the output's. fast
// as in JpegRowsJob. KX_OK, or the first failing strip's status.
int DecodeJpegInStrips(const uint8_t* bytes, const JpegRestartLayout& layout, int scale, bool fast,
                       KXImageObject* image);

}  // namespace kximage
