// Opening libtiff handles on files and on memory, with libtiff's messages
// routed into the service log (errors) or dropped (warnings), and with a cap on
// libtiff's own allocations. Any thread; each handle is used by one thread.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace kximage {

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// Memory that a TIFF handle reads or writes; must outlive the handle.
struct TiffMemory {
    const uint8_t* input = nullptr;  // reading
    size_t inputSize = 0;
    std::vector<uint8_t>* output = nullptr;  // writing
    uint64_t position = 0;
};

// Reading a TIFF held in memory; null when libtiff refuses it.
TiffPtr OpenTiffReader(TiffMemory* memory);
// Writing a TIFF into memory->output.
TiffPtr OpenTiffMemoryWriter(TiffMemory* memory);
// Writing (creating or replacing) a TIFF file.
TiffPtr OpenTiffFileWriter(const char* path);

}  // namespace kximage
