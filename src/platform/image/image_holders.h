// Owning holders for image and buffer handles: each destroys its handle when
// it goes out of scope, so every path of a function releases what it took.
#pragma once

#include <memory>

#include "platform/image/kx_image.h"

struct ImageDeleter {
    void operator()(KXImage image) const { KXBase_DestroyImage(image); }
};
using ImageHolder = std::unique_ptr<KXImageObject, ImageDeleter>;

struct BufferDeleter {
    void operator()(KXBuffer buffer) const { KXBase_DestroyBuffer(buffer); }
};
using BufferHolder = std::unique_ptr<KXBufferObject, BufferDeleter>;
