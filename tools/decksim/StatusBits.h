#pragma once

#include <array>
#include <cstdint>

namespace decksim {

// The deck's status data, bytes 0 to 9, as a status sense reply carries them.
class StatusBits {
public:
    struct Bit {
        int byte;
        int bit;
    };

    static constexpr Bit cassetteOut{0, 5};
    static constexpr Bit local{0, 0};
    static constexpr Bit standby{1, 7};
    static constexpr Bit tensionRelease{1, 6};
    static constexpr Bit stop{1, 5};
    static constexpr Bit eject{1, 4};
    static constexpr Bit rewind{1, 3};
    static constexpr Bit fastForward{1, 2};
    static constexpr Bit record{1, 1};
    static constexpr Bit play{1, 0};
    static constexpr Bit servoLock{2, 7};
    static constexpr Bit shuttle{2, 5};
    static constexpr Bit jog{2, 4};
    static constexpr Bit var{2, 3};
    static constexpr Bit reverse{2, 2};
    static constexpr Bit still{2, 1};
    static constexpr Bit cueUpComplete{2, 0};
    static constexpr Bit outSet{3, 1};
    static constexpr Bit inSet{3, 0};
    static constexpr Bit selectEE{4, 7};
    static constexpr Bit fullEE{4, 6};
    static constexpr Bit edit{4, 4};
    static constexpr Bit review{4, 3};
    static constexpr Bit autoEdit{4, 2};
    static constexpr Bit preview{4, 1};
    static constexpr Bit cueing{4, 0};
    static constexpr Bit lampStill{6, 6};
    static constexpr Bit lampForward{6, 5};
    static constexpr Bit lampReverse{6, 4};
    static constexpr Bit betweenInAndOut{7, 0};
    static constexpr Bit endOfTape{8, 4};
    static constexpr Bit recordInhibit{8, 0};
    static constexpr int editPresetByte = 5;
    static constexpr std::size_t count = 10;

    void set(Bit bit, bool on = true);
    bool test(Bit bit) const;
    void setByte(int index, std::uint8_t value) { bytes_[index] = value; }
    const std::array<std::uint8_t, count>& bytes() const { return bytes_; }

private:
    std::array<std::uint8_t, count> bytes_{};
};

}  // namespace decksim
