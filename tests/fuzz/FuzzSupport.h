// What the fuzz targets share: taking an input apart, and stopping on a broken invariant.

#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// Takes a fuzz input apart from the front: choices first, then the bytes they steer. An
// input that runs out yields zeros and empty pieces, so every input is a valid one.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

    std::vector<std::uint8_t> bytes(std::size_t count)
    {
        const std::size_t taken = std::min(count, size_ - pos_);
        std::vector<std::uint8_t> piece(data_ + pos_, data_ + pos_ + taken);
        pos_ += taken;
        return piece;
    }

    bool empty() const { return pos_ >= size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Stops the run with the broken invariant's text; libFuzzer saves the input that did it.
#define FUZZ_ASSERT(condition)                                                                     \
    do {                                                                                           \
        if (!(condition))                                                                          \
            fuzzFailure(#condition, __FILE__, __LINE__);                                           \
    } while (0)

[[noreturn]] void fuzzFailure(const char* condition, const char* file, int line);
