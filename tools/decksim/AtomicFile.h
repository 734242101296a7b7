#pragma once

#include <string>

namespace decksim {

// Replaces a file's contents all at once: the text goes to a temporary file in the same
// folder, which is then renamed over the target, so a reader sees the old or the new
// contents, never a half-written file.
class AtomicFile {
public:
    // False when the file could not be written; the old contents then stay.
    static bool write(const std::string& path, const std::string& contents);
};

}  // namespace decksim
