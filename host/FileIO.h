#pragma once
// Small files read whole and written whole: presets and settings.

#include <cstddef>
#include <string>
#include <vector>

// Reads the file into `bytes`; false with a message naming the file when it cannot be read
// or is larger than `limit` bytes.
bool readWholeFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& error,
                   std::size_t limit = 1 << 20);

// Writes the file whole or not at all: the bytes go to a temporary file in the same folder,
// which is flushed to the disk and then renamed over `path`, so that a crash or a full
// disk never leaves a half-written file behind. False with a message naming the file.
bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error);

// Creates the folder and the folders above it that are missing; false with a message.
bool makeFolders(const std::string& path, std::string& error);
