#include "platform/image/proc/components.h"

#include <algorithm>

namespace kximgproc {

namespace {

// Labels the component holding start with id and returns it.
Component Flood(const std::vector<uint8_t>& mask, int32_t width, int32_t height, int32_t start,
                int32_t id, std::vector<int32_t>& label, std::vector<int32_t>& stack) {
    Component c{start % width, start / width, start % width + 1, start / width + 1, 0};
    label[start] = id;
    stack.push_back(start);
    while (!stack.empty()) {
        int32_t at = stack.back();
        stack.pop_back();
        int32_t x = at % width;
        int32_t y = at / width;
        ++c.area;
        c.left = std::min(c.left, x);
        c.right = std::max(c.right, x + 1);
        c.top = std::min(c.top, y);
        c.bottom = std::max(c.bottom, y + 1);
        for (int32_t ny = std::max(y - 1, 0); ny <= std::min(y + 1, height - 1); ++ny) {
            for (int32_t nx = std::max(x - 1, 0); nx <= std::min(x + 1, width - 1); ++nx) {
                int32_t next = ny * width + nx;
                if (mask[next] != 0 && label[next] == 0) {
                    label[next] = id;
                    stack.push_back(next);
                }
            }
        }
    }
    return c;
}

// Labels components one after another while visit returns true.
void Label(const std::vector<uint8_t>& mask, int32_t width, int32_t height,
           std::vector<int32_t>& label, const std::function<bool(const Component&)>& visit) {
    label.assign(static_cast<size_t>(width) * height, 0);
    std::vector<int32_t> stack;
    int32_t id = 0;
    for (int32_t start = 0; start < width * height; ++start) {
        if (mask[start] != 0 && label[start] == 0 &&
            !visit(Flood(mask, width, height, start, ++id, label, stack))) {
            return;
        }
    }
}

}  // namespace

std::vector<Component> FindComponents(const std::vector<uint8_t>& mask, int32_t width,
                                      int32_t height, std::vector<int32_t>* labels) {
    std::vector<int32_t> ownLabels;
    std::vector<Component> components;
    Label(mask, width, height, labels != nullptr ? *labels : ownLabels,
          [&components](const Component& c) {
              components.push_back(c);
              return true;
          });
    return components;
}

void VisitComponents(const std::vector<uint8_t>& mask, int32_t width, int32_t height,
                     const std::function<bool(const Component&)>& visit) {
    std::vector<int32_t> labels;
    Label(mask, width, height, labels, visit);
}

}  // namespace kximgproc
