#include "service/command_line.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/base/install_paths.h"
#include "platform/base/kx_paths.h"
#include "service/build_info.h"
#include "ver_2/command_table.h"

namespace {

constexpr int kUsageError = 2;

constexpr char kUsage[] = "Usage: scanbridge [--help | --version | --list-commands]\n";

constexpr char kDescription[] =
    "Serves the scanner to web pages in a local browser until SIGINT or SIGTERM,\n"
    "logging one line per event to standard error. Its behaviour comes from the\n"
    "configuration files; it reads no arguments.\n"
    "\n"
    "Options:\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and the commit it was built from, and exit\n"
    "  --list-commands  print the names of the WebSocket commands, one a line, and exit\n";

constexpr char kFilesAndEnvironment[] =
    "Configuration files, in the configuration folder:\n"
    "  config.ini     [version] verNum: 1 serves generation 1 (REST on port 18999,\n"
    "                 Socket.IO on 28999), any other value generation 2;\n"
    "                 [driver] name: the scanner driver (sane or virtual);\n"
    "                 [security] listen: addresses to listen on besides loopback;\n"
    "                 [security] allowed_origins: web page origins allowed besides\n"
    "                 this machine's own (space-separated, * for any);\n"
    "                 [virtual]: the virtual scanner's devices and behaviour\n"
    "  config1.ini    generation 1: scan parameters, one section per scanner\n"
    "  config2.ini    generation 2: [connect] port of the WebSocket (default 38999)\n"
    "                 and the global settings\n"
    "  newConfig2.db  generation 2: batches, saved files and scanner options\n"
    "\n"
    "Environment:\n"
    "  SCANBRIDGE_CONFIG_DIR       configuration folder\n"
    "  SCANBRIDGE_DOCUMENTS_DIR    documents folder (scans are saved under scanbridge/)\n"
    "  SCANBRIDGE_TMP_DIR          temporary folder\n"
    "  SCANBRIDGE_DRIVER           scanner driver (sane or virtual); overrides\n"
    "                              config.ini [driver] name\n"
    "  SCANBRIDGE_ALLOWED_ORIGINS  web page origins allowed to connect\n"
    "  SANE_CONFIG_DIR             where the SANE library reads its configuration\n";

// A folder of the base library, or why it could not be resolved.
std::string Folder(int (*resolve)(char*, size_t)) {
    char folder[4096] = {};
    return resolve(folder, sizeof folder) == 0 ? folder : "(cannot be resolved)";
}

void PrintHelp() {
    std::fputs(kUsage, stdout);
    std::fputs(kDescription, stdout);
    std::printf(
        "\nFolders in use (from the environment, as the service resolves them):\n"
        "  configuration  %s\n"
        "  documents      %s\n"
        "  temporary      %s\n"
        "  shared files   %s\n\n",
        Folder(KXBase_GetConfigPath).c_str(), Folder(KXBase_GetDocumentsPath).c_str(),
        Folder(KXBase_GetTmpPath).c_str(), ShareFolder().c_str());
    std::fputs(kFilesAndEnvironment, stdout);
}

// Lets clients and their tests check that they cover every command.
void PrintCommands() {
    size_t count = 0;
    const ver_2::CommandEntry* commands = ver_2::CommandTable(&count);
    for (size_t i = 0; i < count; ++i)
        std::puts(commands[i].name);
}

}  // namespace

bool HandleCommandLine(int argc, char** argv, int* exitCode) {
    if (argc <= 1) return false;
    bool help = std::strcmp(argv[1], "--help") == 0;
    bool version = std::strcmp(argv[1], "--version") == 0;
    bool listCommands = std::strcmp(argv[1], "--list-commands") == 0;
    if (argc == 2 && help) {
        PrintHelp();
        *exitCode = 0;
    } else if (argc == 2 && version) {
        std::printf("scanbridge %s (commit %s)\n", ScanBridgeVersion(), ScanBridgeCommit());
        *exitCode = 0;
    } else if (argc == 2 && listCommands) {
        PrintCommands();
        *exitCode = 0;
    } else {
        const char* unexpected = help || version || listCommands ? argv[2] : argv[1];
        std::fprintf(stderr, "scanbridge: unexpected argument '%s'\n", unexpected);
        std::fputs(kUsage, stderr);
        std::fputs("Try 'scanbridge --help' for more information.\n", stderr);
        *exitCode = kUsageError;
    }
    return true;
}
