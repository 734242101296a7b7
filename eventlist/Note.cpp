#include "eventlist/Note.h"

#include "eventlist/PlainText.h"

std::optional<std::string> Note::fault() const
{
    if (text.empty())
        return "an empty note";
    if (text.find_first_of("\r\n") != std::string::npos)
        return "a note holds a line break";
    if (PlainText::isBlank(text.front()) || PlainText::isBlank(text.back()))
        return "a note starts or ends with a blank";
    if ((kind == Kind::Comment) != (text.front() == '*'))
        return kind == Kind::Comment ? "a comment must start with '*'" : "a statement must not start with '*'";
    return std::nullopt;
}
