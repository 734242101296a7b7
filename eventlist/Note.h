#pragma once

#include <optional>
#include <string>

// A line of a list kept as it was written: a comment ("* FROM CLIP NAME: ..."), or a
// statement Kestrix does not perform (GPI, M2 motion memory, a line it could not read), which
// is written back unchanged and flagged so the operator knows it is not acted on.
struct Note {
    enum class Kind { Comment, NotPerformed };

    Kind kind = Kind::Comment;
    std::string text;

    // What keeps the note from reading back as it is, or nullopt: a line break, blanks at
    // either end, an empty text, a comment without its leading '*' or a statement with one.
    std::optional<std::string> fault() const;

    bool operator==(const Note&) const = default;
};
