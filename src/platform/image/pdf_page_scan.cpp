#include "platform/image/pdf_page_scan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kximage {
namespace {

using Handle = QPDFObjectHandle;
using Matrix = std::array<double, 6>;

constexpr Matrix kIdentity{1, 0, 0, 1, 0, 0};

// m applied first, then n (PDF's "m × n").
Matrix Multiply(const Matrix& m, const Matrix& n) {
    return Matrix{m[0] * n[0] + m[1] * n[2],        m[0] * n[1] + m[1] * n[3],
                  m[2] * n[0] + m[3] * n[2],        m[2] * n[1] + m[3] * n[3],
                  m[4] * n[0] + m[5] * n[2] + n[4], m[4] * n[1] + m[5] * n[3] + n[5]};
}

// Walks the content stream, keeping the transformation, and records the one
// image drawing; any operator that could paint something else spoils it.
class ContentCheck : public Handle::ParserCallbacks {
  public:
    void handleObject(Handle object) override {
        if (!object.isOperator()) {
            operands_.push_back(object);
            return;
        }
        Operator(object.getOperatorValue());
        operands_.clear();
    }
    void handleEOF() override {}

    bool SoleDrawing() const { return !spoiled_ && draws_ == 1; }
    const std::string& ImageName() const { return imageName_; }
    const Matrix& ImageMatrix() const { return imageMatrix_; }

  private:
    void Operator(const std::string& name) {
        static const std::set<std::string> kStateOnly = {
            "w",  "J",  "j",  "M",   "d",  "ri",  "i",   "g",   "G",  "rg", "RG", "k",  "K",
            "cs", "CS", "sc", "scn", "SC", "SCN", "Tf",  "Tm",  "Td", "TD", "T*", "BT", "ET",
            "TL", "Tc", "Tw", "Tz",  "Ts", "BMC", "BDC", "EMC", "MP", "DP", "BX", "EX"};
        if (name == "q") {
            saved_.push_back(matrix_);
        } else if (name == "Q") {
            if (saved_.empty()) {
                spoiled_ = true;
                return;
            }
            matrix_ = saved_.back();
            saved_.pop_back();
        } else if (name == "cm") {
            Concatenate();
        } else if (name == "Do") {
            Draw();
        } else if (name == "Tr") {
            invisibleText_ = operands_.size() == 1 && operands_[0].isInteger() &&
                             operands_[0].getIntValue() == 3;
        } else if (name == "Tj" || name == "TJ" || name == "'" || name == "\"") {
            spoiled_ = spoiled_ || !invisibleText_;
        } else if (kStateOnly.count(name) == 0) {
            spoiled_ = true;  // paths, shadings, inline images, graphics states
        }
    }

    void Concatenate() {
        if (operands_.size() != 6) {
            spoiled_ = true;
            return;
        }
        Matrix m;
        for (size_t i = 0; i < 6; ++i) {
            if (!operands_[i].isNumber()) {
                spoiled_ = true;
                return;
            }
            m[i] = operands_[i].getNumericValue();
        }
        matrix_ = Multiply(m, matrix_);
    }

    void Draw() {
        ++draws_;
        if (operands_.size() != 1 || !operands_[0].isName()) {
            spoiled_ = true;
            return;
        }
        imageName_ = operands_[0].getName();
        imageMatrix_ = matrix_;
    }

    std::vector<Handle> operands_;
    std::vector<Matrix> saved_;
    Matrix matrix_ = kIdentity;
    Matrix imageMatrix_ = kIdentity;
    std::string imageName_;
    int draws_ = 0;
    bool invisibleText_ = false;
    bool spoiled_ = false;
};

bool Near(double value, double target, double tolerance) {
    return std::fabs(value - target) <= tolerance;
}

// The unit square under the matrix must be the page box, upright.
bool CoversPage(const Matrix& m, const PageBox& box) {
    double tolerance = std::max(1.0, 0.01 * std::max(box.width, box.height));
    return Near(m[1], 0, 1e-6) && Near(m[2], 0, 1e-6) && m[0] > 0 && m[3] > 0 &&
           Near(m[4], box.left, tolerance) && Near(m[5], box.bottom, tolerance) &&
           Near(m[0], box.width, tolerance) && Near(m[3], box.height, tolerance);
}

}  // namespace

PageBox PageBoxOf(QPDFPageObjectHelper& page) {
    Handle::Rectangle rect = page.getCropBox(false, false).getArrayAsRectangle();
    PageBox box;
    box.left = std::min(rect.llx, rect.urx);
    box.bottom = std::min(rect.lly, rect.ury);
    box.width = std::fabs(rect.urx - rect.llx);
    box.height = std::fabs(rect.ury - rect.lly);
    return box;
}

QPDFObjectHandle SoleImageOfPage(QPDFPageObjectHelper& page, const PageBox& box) {
    Handle rotate = page.getAttribute("/Rotate", false);
    if (rotate.isInteger() && rotate.getIntValue() % 360 != 0) return Handle::newNull();
    ContentCheck check;
    page.parseContents(&check);
    if (!check.SoleDrawing() || !CoversPage(check.ImageMatrix(), box)) return Handle::newNull();
    std::map<std::string, Handle> images = page.getImages();
    auto found = images.find(check.ImageName());
    if (found == images.end()) return Handle::newNull();
    return found->second;
}

}  // namespace kximage
