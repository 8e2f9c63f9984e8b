#pragma once
// The two ways a run of korvalex-render can fail, and the exit status of each.

#include <stdexcept>
#include <string>

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;  // something went wrong while running: a file, the plug-in
constexpr int kExitUsage = 2;    // the command line asks for something impossible

// The command line is wrong: an unknown option, a bad value, an unknown program name.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The work failed: a file could not be read or written, the plug-in could not be loaded.
// The message names the file and the reason.
class RenderFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
