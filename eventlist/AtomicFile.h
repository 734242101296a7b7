#pragma once

#include <string>

// A small text file read whole and replaced whole.
//
// Replacing writes the text to a temporary file beside it ("<path>.tmpXXXXXX"), flushes it to
// the disk and renames it over the file, then flushes the folder where the file system allows
// it. A process killed or a machine losing power at any moment of a replacement leaves the old
// contents or the new, never a mixture; a killed replacement may leave its temporary file
// behind. The file keeps its permissions; a new file is readable by all.
//
// Failures throw std::system_error with the operating system's error and what was being done.
class AtomicFile {
public:
    static std::string read(const std::string& path);
    // On failure the temporary file is removed and the file is as it was.
    static void replace(const std::string& path, const std::string& text);
};
