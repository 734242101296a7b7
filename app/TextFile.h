#pragma once

#include <string>

// Whole-file reading and replacing for small text files. Failures throw std::system_error
// carrying the operating system's error code.
class TextFile {
public:
    static bool exists(const std::string& path);

    static std::string readAll(const std::string& path);

    // Replaces the file's contents so that a crash or a full disk at any moment leaves
    // either the old or the new contents, never a mix or nothing: the new text goes to a
    // temporary file in the same folder, which is flushed to the disk, given the old file's
    // permissions and renamed over it. A symbolic link is followed and its target replaced.
    // On failure the temporary file is removed and the old file stays as it was.
    static void replaceAtomically(const std::string& path, const std::string& contents);
};
