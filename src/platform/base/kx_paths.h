// Standard folders, temporary names and path helpers of the base platform
// library (the file operations themselves are in kx_files.h, included here).
// Any thread may call these functions.
//
// Folders are returned with a trailing "/". Each folder can be moved by an
// environment variable, which the tests use to run the service in a private
// tree:
//   configuration  SCANBRIDGE_CONFIG_DIR     else $XDG_CONFIG_HOME/scanbridge/,
//   ~/.config/scanbridge/ documents      SCANBRIDGE_DOCUMENTS_DIR  else $XDG_DOCUMENTS_DIR/,
//   ~/Documents/ temporary      SCANBRIDGE_TMP_DIR        else $TMPDIR/scanbridge/,
//   /tmp/scanbridge/
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/base/kx_files.h"
#include "platform/base/kx_status.h"

int KXBase_GetConfigPath(char* buffer, size_t size);
int KXBase_GetDocumentsPath(char* buffer, size_t size);
int KXBase_GetTmpPath(char* buffer, size_t size);
int KXBase_GetProcessName(char* buffer, size_t size);

// A path in the temporary folder (created if missing) at which nothing exists
// yet, ending in suffix when one is given (suffix may be null). The file is
// not created.
int KXBase_GetTmpFileName(const char* suffix, char* buffer, size_t size);

// Creates the folder and its missing parents; 0 when it exists afterwards.
int KXBase_CreateDir(const char* path);
// As KXBase_CreateDir, but the folder itself is created for the user alone
// (0700), and an existing one of the user's that others may enter is
// narrowed to that.
int KXBase_CreatePrivateDir(const char* path);
// Creates an empty file for the user alone (0600) when none exists, and
// takes the group and other permissions from an existing one of the user's;
// its content is never touched. Refuses a link.
int KXBase_CreatePrivateFile(const char* path);
// Makes the configuration folder private: created or narrowed to 0700, and
// each file in it (settings, database and its journals) that the user owns
// narrowed to the user alone. Run once at start, so that files written by
// earlier versions are covered too.
int KXBase_SecureConfigFolder();
// The last path component.
int KXBase_GetFileName(const char* path, char* buffer, size_t size);
// The extension of the last component, without the dot; empty when none.
int KXBase_GetFileSuffix(const char* path, char* buffer, size_t size);
// The path with "." and ".." components resolved and repeated "/" folded; a
// trailing "/" is kept.
int KXBase_StandardiseFileName(const char* path, char* buffer, size_t size);
