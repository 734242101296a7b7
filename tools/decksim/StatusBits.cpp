#include "tools/decksim/StatusBits.h"

namespace decksim {

void StatusBits::set(Bit bit, bool on)
{
    const auto mask = static_cast<std::uint8_t>(1u << bit.bit);
    if (on) {
        bytes_[bit.byte] |= mask;
    } else {
        bytes_[bit.byte] &= static_cast<std::uint8_t>(~mask);
    }
}

bool StatusBits::test(Bit bit) const { return (bytes_[bit.byte] >> bit.bit) & 1u; }

}  // namespace decksim
