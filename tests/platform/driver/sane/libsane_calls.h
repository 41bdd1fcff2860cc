// Thin calls into the system's libsane for tests that drive a real backend
// in-process. Kept free of both our driver header and <sane/sane.h>, whose
// type names clash; the numeric values of types, units, constraints, actions
// and statuses are SANE's own in both.
#pragma once

#include <string>
#include <vector>

namespace libsane {

struct Descriptor {
    std::string name;
    std::string title;
    std::string desc;
    int type = 0;
    int unit = 0;
    int size = 0;
    int cap = 0;
    int constraintType = 0;
    int rangeMin = 0;
    int rangeMax = 0;
    int rangeQuant = 0;
    std::vector<int> words;
    std::vector<std::string> strings;
};

// sane_init / sane_exit; Open gives null when the device cannot be opened.
bool Init();
void Exit();
void* Open(const char* device);
void Close(void* handle);

// The option count (option 0's value), or -1.
int OptionCount(void* handle);
bool Describe(void* handle, int index, Descriptor* descriptor);
// sane_control_option; returns the SANE status.
int Control(void* handle, int index, int action, void* value, int* info);

struct Frame {
    int format = 0;
    int depth = 0;
    int pixelsPerLine = 0;
    int bytesPerLine = 0;
    int lines = 0;
    std::vector<unsigned char> data;
};

// Starts a scan and reads one frame to its end; returns the SANE status.
int ScanFrame(void* handle, Frame* frame);

}  // namespace libsane
