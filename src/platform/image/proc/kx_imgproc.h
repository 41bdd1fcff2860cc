// The image-processing library: OCR (searchable PDF and OFD, text direction),
// watermark text, decontamination, auto-crop with deskew, blank-page check
// and resizing of base-library images.
//
// Every call returns 0 for success and a non-zero KXStatus for failure; a
// failing call leaves its out-parameters null or 0 and never throws. Bad
// input (null handles, unknown codes, malformed text) is a failure, not a
// crash.
//
// Threads: an OCR manager and an image may each be used by one thread at a
// time; different managers and different images may be used on different
// threads at once. The other calls keep no state between calls.
//
// Ownership: a manager is released by its creator with
// KXImgProc_DestroyOCRMgr; an image returned through an out-parameter
// belongs to the caller, who releases it with KXBase_DestroyImage.
#pragma once

#include <cstdint>

#include "platform/image/kx_image.h"

struct KXOcrManagerObject;
using KXOcrMgr = KXOcrManagerObject*;

// Colour words: red in bits 0-7, green 8-15, blue 16-23, and in bits 24-31
// the opacity of a watermark (0 transparent .. 255 opaque); decontamination
// ignores the opacity bits.
constexpr uint32_t KXImgProc_MakeColorWord(uint32_t red, uint32_t green, uint32_t blue,
                                           uint32_t opacity) {
    return (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16 | (opacity & 0xFF) << 24;
}

// Text direction codes, named by the turn that makes the page upright.
enum KXTextDirection : int32_t {
    KX_DIRECTION_UPRIGHT = 1,       // already upright, or too little text to tell
    KX_DIRECTION_ROTATE_LEFT = 2,   // turn 90 degrees counter-clockwise
    KX_DIRECTION_ROTATE_RIGHT = 3,  // turn 90 degrees clockwise
    KX_DIRECTION_ROTATE_180 = 4,
};

// Where a watermark goes inside the image's region of interest. The text box
// touches the named edges of the region and is centred along the others; the
// caller makes margins by narrowing the region. "location" puts the top-left
// corner of the text box at (x, y) relative to the region's top-left corner.
enum KXWatermarkPosition : int32_t {
    KX_WATERMARK_LEFT = 1,
    KX_WATERMARK_TOP = 2,
    KX_WATERMARK_RIGHT = 3,
    KX_WATERMARK_BOTTOM = 4,
    KX_WATERMARK_LEFT_TOP = 5,
    KX_WATERMARK_RIGHT_TOP = 6,
    KX_WATERMARK_LEFT_BOTTOM = 7,
    KX_WATERMARK_RIGHT_BOTTOM = 8,
    KX_WATERMARK_CENTER = 9,
    KX_WATERMARK_LOCATION = 10,
};

// The watermark font. name: UTF-8, NUL-terminated; "宋体"/"SimSun" select a
// CJK serif face, "黑体"/"SimHei" a CJK sans face, other names are matched by
// fontconfig, and a face able to draw every character of the text is always
// chosen. size: the em height in pixels (> 0). The four flags are 0 or 1.
struct WatermarkFont {
    char name[64];
    int32_t size;
    int32_t bold;
    int32_t underline;
    int32_t italic;
    int32_t strikeout;
};

enum KXDecontaminationArea : int32_t {
    KX_DECONTAMINATE_INSIDE = 1,
    KX_DECONTAMINATE_OUTSIDE = 2,
};

// Tuning of the blank-page check; a null pointer selects the defaults shown.
struct KXBlankCheckParams {
    int32_t borderMm;       // band along every edge that is ignored (default 6)
    int32_t minContrast;    // ink is this many grey levels below the paper, or more on
                            // noisy scans (default 40)
    int32_t inkAreaMm2x10;  // ink area, in 0.1 mm², that makes a page non-blank (default 25)
};

// Resize methods.
enum KXResizeMethod : int32_t {
    KX_RESIZE_NEAREST = 0,
    KX_RESIZE_SMOOTH = 1,  // area averaging when reducing, bilinear when enlarging
};

// A manager is cheap to create: its Tesseract engines ("chi_sim+eng" for
// text, "osd" for direction) are loaded on first use and, when the manager
// is destroyed, kept idle for the next manager of the process, so only the
// first OCR of a process pays for loading. The language data is looked up
// in TESSDATA_PREFIX, then the system's tessdata folders. Creation fails
// when no text language data is installed.
int KXImgProc_CreateOCRMgr(KXOcrMgr* manager);
int KXImgProc_DestroyOCRMgr(KXOcrMgr manager);
// Releases the idle engines kept for later managers. The service calls it
// once at exit, after the last manager is gone, so that Tesseract's shared
// dictionaries are freed in order instead of being abandoned.
void KXImgProc_ReleaseIdleEngines();

// Flags of KXImgProc_ImageOCRToFile. With KX_OCR_SCAN_PICTURE the page
// picture is encoded as a plain PDF or OFD of the image would hold it, which
// suits a scanned page (raw pixels that would otherwise be kept losslessly at
// many times the size): grey and colour as JPEG at the quality in bits 0-7
// (0..100), black and white as CCITT G4 in PDF and PNG in OFD. Recognition
// always runs on the full pixels.
constexpr int32_t KX_OCR_SCAN_PICTURE = 0x100;
constexpr int32_t KX_OCR_JPEG_QUALITY_MASK = 0xFF;

// The flags for a scanned page written with the JPEG quality of the plain
// formats; qualities above 100 are taken as 100, as the JPEG encoder does.
constexpr int32_t KXImgProc_OcrScanFlags(uint32_t jpegQuality) {
    return KX_OCR_SCAN_PICTURE | static_cast<int32_t>(jpegQuality > 100 ? 100 : jpegQuality);
}

// Writes the image's region of interest as a searchable document: path
// ending in "pdf" gives a PDF (page image and invisible text), "ofd" an OFD
// (page image and invisible text objects). With flags 0 the page image keeps
// the source's picture: an unmodified JPEG image its own bytes, any other
// image lossless (Flate, or CCITT G4 for black and white, in PDF; PNG in
// OFD). With KXImgProc_OcrScanFlags(quality) it is encoded as above; any
// other flags are refused. The image itself is not changed. The file appears
// complete or not at all.
int KXImgProc_ImageOCRToFile(KXOcrMgr manager, KXImage image, int32_t flags, const char* path);

// Sets *direction to a KXTextDirection code: the turn that makes the text of
// the image upright. Pages with too little text give KX_DIRECTION_UPRIGHT.
int KXImgProc_ImageTextDirectOCR(KXOcrMgr manager, KXImage image, int32_t* direction);

// 0 when the watermark font name selects a font of its own: a Chinese face
// name listed above, a generic family ("serif", "sans-serif", "monospace"),
// or the family of an installed face (letter case and blanks do not count);
// KX_ERR_NOT_FOUND for any other name, which the watermark would draw in a
// fallback face.
int KXImgProc_FindFont(const char* name);

// Draws text (UTF-8; "\n" starts a new line) into the image within its region
// of interest, blended with the colour word's opacity.
int KXImgProc_AddImageWatermark(KXImage image, const char* text, uint32_t color, int32_t position,
                                int32_t x, int32_t y, const WatermarkFont* font);

// Paints the area inside (1) or outside (2) the rectangle x, y, width, height
// (image coordinates, clipped to the image) with the colour word's colour.
// destination is the source itself, or an image of the same size and type
// that receives a painted copy.
int KXImgProc_ImageDecontamination(KXImage source, KXImage destination, int32_t area, int32_t x,
                                   int32_t y, int32_t width, int32_t height, uint32_t color);

// Finds the document in the region of interest against a scanner
// background darker than the paper (black, or a grey some 40 levels below
// it), straightens it by the skew of its edges and crops it, into a new
// image of the source's type. A white page shows no edge against a white
// background: then the whole region is kept and straightened by its text
// lines. crop: cut to the document; deskew: straighten; autoBackground: 1
// looks along the region's border for the darker background (a border like
// the paper means none is visible), 0 takes the background as darker
// without looking; margin*: pixels of background kept around the document;
// whiteFill: 1 fills corners uncovered by the rotation with white, 0 with
// black. *result stays null when the region shows only background.
int KXImgProc_ImageAutoCrop(KXImage image, int32_t crop, int32_t deskew, int32_t autoBackground,
                            int32_t marginLeft, int32_t marginTop, int32_t marginRight,
                            int32_t marginBottom, int32_t whiteFill, KXImage* result);

// Sets *blank to 1 when the region of interest holds less ink than the
// parameters' area, else to 0. Ink is what is darker than the paper by the
// contrast, outside the border band, less dust specks (under 0.4 mm²), punch
// holes near an edge, and edge shadows or scanner background along an edge.
// Millimetres come from the image's resolution or, when it has none, from
// taking the region's shorter side as A4's 210 mm.
int KXImgProc_ImageBlankCheck(KXImage image, const KXBlankCheckParams* params, int32_t* blank);

// Scales the source's region of interest into the destination's region of
// interest, converting the pixel type when they differ.
int KXImgProc_ResizeImage(KXImage source, KXImage destination, int32_t method);
