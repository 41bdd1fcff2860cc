// Status codes of the base platform library.
//
// Every platform call returns 0 for success and a non-zero code for failure;
// callers test for zero only. The distinct codes exist for logs and tests.
#pragma once

enum KXStatus : int {
    KX_OK = 0,
    KX_ERR_ARGUMENT = 1,   // a null handle, null pointer or out-of-range value
    KX_ERR_SYSTEM = 2,     // an operating-system call failed
    KX_ERR_NOT_FOUND = 3,  // a file, key or entry does not exist
    KX_ERR_BUFFER = 4,     // the caller's buffer is too small
    KX_ERR_STATE = 5,      // the object is not in a state that allows the call
    KX_ERR_DATA = 6,       // malformed input data
};
