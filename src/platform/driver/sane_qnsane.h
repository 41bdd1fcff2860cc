// The scanner driver interface: the SANE standard's types and calls under the
// sane_qnsane_ prefix, plus sane_qnsane_init_ex, which registers an event
// callback. Scanners announce themselves and pages arrive as events on the
// driver's own threads; pages are never read with sane_read.
//
// The calls act on one process-wide driver, chosen at sane_qnsane_init_ex by
// the environment variable SCANBRIDGE_DRIVER, else "config.ini" [driver]
// "name": "sane" (the default: the system SANE library, see
// sane/sane_driver.h) or "virtual" (see virtual_scanner.h). Calls before init, after exit and
// with handles that are not open fail cleanly (a non-zero status, a null
// descriptor or list, nothing done). Any thread may make the calls; the back
// ends make them on the service thread, and sane_qnsane_cancel may come from
// any thread, even while a callback runs. sane_qnsane_exit must not be called
// from inside a callback (it is refused there); when it returns, the driver's
// threads have ended and no callback runs any more.
//
// sane_qnsane_init_ex returns once the scanners present at start have been
// announced with SANE_EVENT_DEVICE_ARRIVED (bounded; see ScannerDriver::Init),
// so a list kept from those events is complete when it returns. Those first
// callbacks run while init waits: they must not wait for the thread calling
// init, and the other calls are not available to them yet.
//
// The callback runs on a driver thread, and its data is valid only during
// the call. Its opaque first argument is the scan's handle for scan events
// and null for device events.
#pragma once

#include <cstddef>
#include <cstdint>

using SANE_Word = int32_t;
using SANE_Int = int32_t;
using SANE_Bool = int32_t;
using SANE_Fixed = int32_t;
using SANE_Byte = uint8_t;
using SANE_Char = char;
using SANE_String = char*;
using SANE_String_Const = const char*;
using SANE_Handle = void*;

constexpr SANE_Int SANE_VERSION_CODE(SANE_Int major, SANE_Int minor, SANE_Int build) {
    return ((major & 0xff) << 24) | ((minor & 0xff) << 16) | (build & 0xffff);
}

constexpr SANE_Bool SANE_FALSE = 0;
constexpr SANE_Bool SANE_TRUE = 1;
constexpr int SANE_FIXED_SCALE_SHIFT = 16;

constexpr SANE_Fixed SANE_FIX(double value) {
    return static_cast<SANE_Fixed>(value * (1 << SANE_FIXED_SCALE_SHIFT));
}
constexpr double SANE_UNFIX(SANE_Fixed value) {
    return static_cast<double>(value) / (1 << SANE_FIXED_SCALE_SHIFT);
}

enum SANE_Status : int32_t {
    SANE_STATUS_GOOD = 0,
    SANE_STATUS_UNSUPPORTED,
    SANE_STATUS_CANCELLED,
    SANE_STATUS_DEVICE_BUSY,
    SANE_STATUS_INVAL,
    SANE_STATUS_EOF,
    SANE_STATUS_JAMMED,
    SANE_STATUS_NO_DOCS,
    SANE_STATUS_COVER_OPEN,
    SANE_STATUS_IO_ERROR,
    SANE_STATUS_NO_MEM,
    SANE_STATUS_ACCESS_DENIED,
};

enum SANE_Value_Type : int32_t {
    SANE_TYPE_BOOL = 0,
    SANE_TYPE_INT,
    SANE_TYPE_FIXED,
    SANE_TYPE_STRING,
    SANE_TYPE_BUTTON,
    SANE_TYPE_GROUP,
};

enum SANE_Unit : int32_t {
    SANE_UNIT_NONE = 0,
    SANE_UNIT_PIXEL,
    SANE_UNIT_BIT,
    SANE_UNIT_MM,
    SANE_UNIT_DPI,
    SANE_UNIT_PERCENT,
    SANE_UNIT_MICROSECOND,
};

enum SANE_Constraint_Type : int32_t {
    SANE_CONSTRAINT_NONE = 0,
    SANE_CONSTRAINT_RANGE,
    SANE_CONSTRAINT_WORD_LIST,
    SANE_CONSTRAINT_STRING_LIST,
};

enum SANE_Action : int32_t {
    SANE_ACTION_GET_VALUE = 0,
    SANE_ACTION_SET_VALUE,
    SANE_ACTION_SET_AUTO,
};

enum SANE_Frame : int32_t {
    SANE_FRAME_GRAY = 0,
    SANE_FRAME_RGB,
    SANE_FRAME_RED,
    SANE_FRAME_GREEN,
    SANE_FRAME_BLUE,
};

constexpr SANE_Int SANE_CAP_SOFT_SELECT = 1 << 0;
constexpr SANE_Int SANE_CAP_SOFT_DETECT = 1 << 2;
constexpr SANE_Int SANE_CAP_INACTIVE = 1 << 5;

constexpr SANE_Int SANE_INFO_INEXACT = 1 << 0;
constexpr SANE_Int SANE_INFO_RELOAD_OPTIONS = 1 << 1;
constexpr SANE_Int SANE_INFO_RELOAD_PARAMS = 1 << 2;

struct SANE_Range {
    SANE_Word min;
    SANE_Word max;
    SANE_Word quant;
};

struct SANE_Option_Descriptor {
    SANE_String_Const name;
    SANE_String_Const title;
    SANE_String_Const desc;
    SANE_Value_Type type;
    SANE_Unit unit;
    SANE_Int size;
    SANE_Int cap;
    SANE_Constraint_Type constraint_type;
    union {
        const SANE_String_Const* string_list;  // null-terminated
        const SANE_Word* word_list;            // first word is the entry count
        const SANE_Range* range;
    } constraint;
};

struct SANE_Device {
    SANE_String_Const name;
    SANE_String_Const vendor;
    SANE_String_Const model;
    SANE_String_Const type;
};

struct SANE_Parameters {
    SANE_Frame format;
    SANE_Bool last_frame;
    SANE_Int bytes_per_line;
    SANE_Int pixels_per_line;
    SANE_Int lines;
    SANE_Int depth;
};

// Event codes of the callback.
enum SANE_Event : int32_t {
    SANE_EVENT_DEVICE_ARRIVED = 4,
    SANE_EVENT_DEVICE_LEFT = 5,
    SANE_EVENT_STATUS = 6,
    SANE_EVENT_ERROR = 7,
    SANE_EVENT_WORKING = 8,
    SANE_EVENT_IMAGE_OK = 10,
    SANE_EVENT_SCAN_FINISHED = 11,
};

// Data of SANE_EVENT_DEVICE_ARRIVED and SANE_EVENT_DEVICE_LEFT.
struct SANE_Event_Device {
    SANE_String_Const name;  // UTF-8
    SANE_String_Const vendor;
    SANE_String_Const model;
};

// Data of SANE_EVENT_IMAGE_OK: the page's parameters and its pixels, rows top
// to bottom, bytes_per_line apart. GRAY depth 1 is packed most significant
// bit first with 1 = black; GRAY depth 8 is one byte per pixel; RGB depth 8 is
// three bytes per pixel in R, G, B order.
struct SANE_Event_Image {
    SANE_Parameters parameters;  // bytes 0-23
    SANE_Int resolution;         // dots per inch
    SANE_Int page_number;        // 1-based, in delivery order
    SANE_Byte* data;             // byte 32
};
static_assert(offsetof(SANE_Event_Image, data) == 32);

// (opaque, code, data, value, user) -> 0. For SANE_EVENT_STATUS, _ERROR,
// _WORKING and _SCAN_FINISHED data is a NUL-terminated UTF-8 text; for
// _ERROR and _SCAN_FINISHED *value non-zero means an error.
using SANE_Event_Callback = SANE_Int (*)(void* opaque, SANE_Int code, void* data, SANE_Int* value,
                                         void* user);

SANE_Status sane_qnsane_init_ex(SANE_Int* version_code, SANE_Event_Callback callback, void* user);
void sane_qnsane_exit();
SANE_Status sane_qnsane_get_devices(const SANE_Device*** device_list, SANE_Bool local_only);
SANE_Status sane_qnsane_open(SANE_String_Const name, SANE_Handle* handle);
void sane_qnsane_close(SANE_Handle handle);
const SANE_Option_Descriptor* sane_qnsane_get_option_descriptor(SANE_Handle handle,
                                                                SANE_Int option);
SANE_Status sane_qnsane_control_option(SANE_Handle handle, SANE_Int option, SANE_Action action,
                                       void* value, SANE_Int* info);
SANE_Status sane_qnsane_start(SANE_Handle handle);
void sane_qnsane_cancel(SANE_Handle handle);
