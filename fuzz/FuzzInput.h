// What every fuzz target shares: a failed check ends the run so that the
// fuzzer records the input, and the input is read as a small program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace fuzzing {

inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Reads the fuzzer's bytes as a small program of operations.
class Input {
  public:
    Input(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Done() const { return at_ >= size_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    int32_t Count() { return static_cast<int32_t>(static_cast<int8_t>(Byte())); }
    // A short text without zero bytes.
    std::string Text() {
        std::size_t length = Byte() % 8;
        std::string text;
        while (text.size() < length && !Done()) {
            char c = static_cast<char>(Byte());
            if (c != 0) {
                text += c;
            }
        }
        return text;
    }

  private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

} // namespace fuzzing
