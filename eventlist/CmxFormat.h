#pragma once

#include <cstddef>

// What other systems read in a CMX 3600 list: the widths and counts a list written for them
// keeps to, and a reader warns past.
struct CmxFormat {
    static constexpr std::size_t reelWidth = 8;
    static constexpr int largestNumber = 999;
    static constexpr std::size_t largestEventCount = 999;
    static constexpr std::size_t longestTitle = 70;
    // The comment that marks an assemble edit (an event line records only the channels).
    static constexpr const char* assembleComment = "* EDIT MODE: ASSEMBLE";
};
