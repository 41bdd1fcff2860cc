// The command line of the executable. The service itself takes no arguments:
// its behaviour comes from the configuration files. "--help", "--version"
// and "--list-commands" answer on standard output and end the process;
// anything else is a usage error. Called by main before the service starts.
#pragma once

// Returns true when the process is to end at once with *exitCode: 0 after
// --help, --version or --list-commands, 2 (and the usage on standard error)
// for anything else. Returns false when there are no arguments and the
// service is to run.
bool HandleCommandLine(int argc, char** argv, int* exitCode);
