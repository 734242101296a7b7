#pragma once

#include <cstdint>
#include <string>

// The edit log "edl.txt": one fixed-column line per performed edit, appended to a file that
// must already exist (the program never creates it).
class EditLog {
public:
    // Six characters: "ASM   " for assemble; for an insert "A" (audio 1), "A" (audio 2), "/",
    // "V" (video), each blank when the channel is not in the edit, and two blanks.
    static std::string modeText(std::uint8_t emode);

    // Three digits for 1 to 999 (zero-padded), unpadded from 1000 on.
    static std::string numberText(int editnum);

    // The line without its line end.
    static std::string line(int editnum, std::uint8_t emode, const std::string& playIn, const std::string& playOut,
                            const std::string& recIn, const std::string& recOut);

    static bool exists(const std::string& path);

    // Appends the line and its line end with one write on a descriptor opened for appending,
    // so lines of concurrent writers never split or interleave. Never creates the file.
    // False when the file could not be opened or the write failed.
    static bool append(const std::string& path, const std::string& line);
};
