#pragma once

#include <cstddef>
#include <cstdint>

// Before the first input: an offscreen application (the grid measures with Qt's fonts), batch
// message boxes, and Qt's warnings kept quiet so a million inputs do not flood the terminal.
namespace telmo::fuzz {
void StartOffscreenApplication();
// Stops the process with a message when a property every input must keep does not hold.
[[noreturn]] void Fail(const char* what);

// An input read from its front a byte at a time; past its end every byte is 0.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Done() const { return pos_ >= size_; }
    size_t Position() const { return pos_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    int Word() { // two bytes, the high one first
        const int high = Byte();
        return high << 8 | Byte();
    }

private:
    const uint8_t* data_;
    size_t size_, pos_ = 0;
};
} // namespace telmo::fuzz
