#include "eventlist/PlainText.h"

#include <cctype>

std::string PlainText::upper(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}
