/* A SANE backend for the tests, loaded by libsane's dll backend as
 * "crashy" (libsane-crashy.so.1). It offers one gray flatbed scanner,
 * "Crashy Model C", whose pages are 64 x 64 pixels of a gradient, and it
 * misbehaves on cue: the file named by SCANBRIDGE_CRASHY_CUE holds one of
 *   abort-read   sane_read aborts the process
 *   abort-list   sane_get_devices aborts the process
 *   sleep-read   sane_read blocks for an hour, after creating the cue
 *                file's name plus ".reached" so a test knows it is blocked
 * and anything else (or no file) means normal behaviour. The cue is read at
 * every call, so a test can change it while the worker runs. */
#include <sane/sane.h>
#include <sane/saneopts.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define PAGE_SIDE 64

static const SANE_Device device = {"c0", "Crashy", "Model C", "flatbed scanner"};
static const SANE_Device* devices[] = {&device, NULL};
static const SANE_String_Const modes[] = {"Gray", NULL};
static const SANE_Word resolutions[] = {1, 100};

static const SANE_Option_Descriptor options[] = {
    {.name = SANE_NAME_NUM_OPTIONS, .title = SANE_TITLE_NUM_OPTIONS, .desc = SANE_DESC_NUM_OPTIONS,
     .type = SANE_TYPE_INT, .unit = SANE_UNIT_NONE, .size = sizeof(SANE_Word),
     .cap = SANE_CAP_SOFT_DETECT, .constraint_type = SANE_CONSTRAINT_NONE,
     .constraint = {.range = NULL}},
    {.name = SANE_NAME_SCAN_MODE, .title = SANE_TITLE_SCAN_MODE, .desc = SANE_DESC_SCAN_MODE,
     .type = SANE_TYPE_STRING, .unit = SANE_UNIT_NONE, .size = 8,
     .cap = SANE_CAP_SOFT_DETECT | SANE_CAP_SOFT_SELECT,
     .constraint_type = SANE_CONSTRAINT_STRING_LIST, .constraint = {.string_list = modes}},
    {.name = SANE_NAME_SCAN_RESOLUTION, .title = SANE_TITLE_SCAN_RESOLUTION,
     .desc = SANE_DESC_SCAN_RESOLUTION, .type = SANE_TYPE_INT, .unit = SANE_UNIT_DPI,
     .size = sizeof(SANE_Word), .cap = SANE_CAP_SOFT_DETECT | SANE_CAP_SOFT_SELECT,
     .constraint_type = SANE_CONSTRAINT_WORD_LIST, .constraint = {.word_list = resolutions}},
};
#define OPTION_COUNT ((SANE_Int)(sizeof options / sizeof options[0]))

static int handle_token;
static size_t page_offset;

static int Cued(const char* what) {
    const char* path = getenv("SCANBRIDGE_CRASHY_CUE");
    char cue[32] = {0};
    FILE* file = path != NULL ? fopen(path, "r") : NULL;
    if (file == NULL) return 0;
    size_t n = fread(cue, 1, sizeof cue - 1, file);
    fclose(file);
    cue[n] = 0;
    return strncmp(cue, what, strlen(what)) == 0;
}

static void MarkReached(void) {
    char path[4096];
    const char* cue = getenv("SCANBRIDGE_CRASHY_CUE");
    if (cue == NULL || snprintf(path, sizeof path, "%s.reached", cue) >= (int)sizeof path) return;
    FILE* file = fopen(path, "w");
    if (file != NULL) fclose(file);
}

SANE_Status sane_crashy_init(SANE_Int* version, SANE_Auth_Callback authorize) {
    (void)authorize;
    if (version != NULL) *version = SANE_VERSION_CODE(1, 0, 0);
    return SANE_STATUS_GOOD;
}

void sane_crashy_exit(void) {}

SANE_Status sane_crashy_get_devices(const SANE_Device*** list, SANE_Bool local_only) {
    (void)local_only;
    if (Cued("abort-list")) abort();
    *list = devices;
    return SANE_STATUS_GOOD;
}

SANE_Status sane_crashy_open(SANE_String_Const name, SANE_Handle* handle) {
    if (name[0] != 0 && strcmp(name, device.name) != 0) return SANE_STATUS_INVAL;
    *handle = &handle_token;
    return SANE_STATUS_GOOD;
}

void sane_crashy_close(SANE_Handle handle) { (void)handle; }

const SANE_Option_Descriptor* sane_crashy_get_option_descriptor(SANE_Handle handle,
                                                               SANE_Int option) {
    (void)handle;
    return option >= 0 && option < OPTION_COUNT ? &options[option] : NULL;
}

SANE_Status sane_crashy_control_option(SANE_Handle handle, SANE_Int option, SANE_Action action,
                                       void* value, SANE_Int* info) {
    (void)handle;
    if (info != NULL) *info = 0;
    if (option < 0 || option >= OPTION_COUNT) return SANE_STATUS_INVAL;
    if (action == SANE_ACTION_GET_VALUE) {
        if (option == 0) *(SANE_Word*)value = OPTION_COUNT;
        if (option == 1) strcpy((char*)value, "Gray");
        if (option == 2) *(SANE_Word*)value = 100;
        return SANE_STATUS_GOOD;
    }
    if (action != SANE_ACTION_SET_VALUE || option == 0) return SANE_STATUS_INVAL;
    if (option == 1) return strcmp((const char*)value, "Gray") == 0 ? SANE_STATUS_GOOD
                                                                    : SANE_STATUS_INVAL;
    return *(const SANE_Word*)value == 100 ? SANE_STATUS_GOOD : SANE_STATUS_INVAL;
}

SANE_Status sane_crashy_get_parameters(SANE_Handle handle, SANE_Parameters* parameters) {
    (void)handle;
    parameters->format = SANE_FRAME_GRAY;
    parameters->last_frame = SANE_TRUE;
    parameters->bytes_per_line = PAGE_SIDE;
    parameters->pixels_per_line = PAGE_SIDE;
    parameters->lines = PAGE_SIDE;
    parameters->depth = 8;
    return SANE_STATUS_GOOD;
}

SANE_Status sane_crashy_start(SANE_Handle handle) {
    (void)handle;
    page_offset = 0;
    return SANE_STATUS_GOOD;
}

SANE_Status sane_crashy_read(SANE_Handle handle, SANE_Byte* data, SANE_Int max_length,
                             SANE_Int* length) {
    (void)handle;
    *length = 0;
    if (Cued("abort-read")) abort();
    if (Cued("sleep-read")) {
        MarkReached();
        sleep(3600);
    }
    if (page_offset >= PAGE_SIDE * PAGE_SIDE) return SANE_STATUS_EOF;
    while (*length < max_length && page_offset < PAGE_SIDE * PAGE_SIDE) {
        data[(*length)++] = (SANE_Byte)(page_offset % PAGE_SIDE * 4);
        ++page_offset;
    }
    return SANE_STATUS_GOOD;
}

void sane_crashy_cancel(SANE_Handle handle) { (void)handle; }

SANE_Status sane_crashy_set_io_mode(SANE_Handle handle, SANE_Bool non_blocking) {
    (void)handle;
    return non_blocking ? SANE_STATUS_UNSUPPORTED : SANE_STATUS_GOOD;
}

SANE_Status sane_crashy_get_select_fd(SANE_Handle handle, SANE_Int* fd) {
    (void)handle;
    (void)fd;
    return SANE_STATUS_UNSUPPORTED;
}
