#include "TextString.h"

#include "LeadBytes.h"
#include "TextMemory.h"

#include <cstring>
#include <new>
#include <utility>

namespace {

char emptyText[1] = {0};

int32_t TextLength(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    std::size_t length = std::strlen(text);
    if (length > INT32_MAX - 1) {
        throw std::bad_alloc();
    }
    return static_cast<int32_t>(length);
}

int32_t SumOfLengths(int32_t a, int32_t b) {
    if (b > INT32_MAX - 1 - a) {
        throw std::bad_alloc();
    }
    return a + b;
}

// Bytes taken by the character at text[i]: 2 for a lead byte followed by a
// non-zero byte, otherwise 1 (a lone lead byte at the end is incomplete).
int32_t CharacterSize(const char* text, int32_t i) {
    return IsLeadByte(static_cast<unsigned char>(text[i])) && text[i + 1] != 0 ? 2 : 1;
}

bool IsIncompleteCharacter(const char* text, int32_t i) {
    return IsLeadByte(static_cast<unsigned char>(text[i])) && text[i + 1] == 0;
}

// First match of pattern in text from `from` on, candidates stepping by
// character from `from`; -1 when there is none.
int32_t FindFrom(const char* text, int32_t length, int32_t from, const char* pattern,
                 int32_t patternLength) {
    for (int32_t i = from; length - i >= patternLength; i += CharacterSize(text, i)) {
        if (std::memcmp(text + i, pattern, static_cast<std::size_t>(patternLength)) == 0) {
            return i;
        }
    }
    return -1;
}

} // namespace

bool TextString::OwnsStorage() const noexcept {
    return data_ != emptyText;
}

TextString::TextString() noexcept : data_(emptyText), length_(0), capacity_(0) {}

TextString::TextString(const char* text) : TextString() {
    int32_t length = TextLength(text);
    if (length > 0) {
        TextString built(text, length, nullptr, 0);
        Swap(built);
    }
}

TextString::TextString(const char* first, int32_t count, const char* second, int32_t secondCount)
    : TextString() {
    int32_t length = SumOfLengths(count, secondCount);
    if (length == 0) {
        return;
    }
    char* storage = AllocateTextStorage(static_cast<std::size_t>(length) + 1);
    if (count > 0) {
        std::memcpy(storage, first, static_cast<std::size_t>(count));
    }
    if (secondCount > 0) {
        std::memcpy(storage + count, second, static_cast<std::size_t>(secondCount));
    }
    storage[length] = 0;
    data_ = storage;
    length_ = length;
    capacity_ = length;
}

TextString::TextString(const TextString& other)
    : TextString(other.data_, other.length_, nullptr, 0) {}

TextString::TextString(TextString&& other) noexcept : TextString() {
    Swap(other);
}

TextString::~TextString() {
    if (OwnsStorage()) {
        ReleaseTextStorage(data_);
    }
}

void TextString::Swap(TextString& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(length_, other.length_);
    std::swap(capacity_, other.capacity_);
}

TextString& TextString::operator=(const TextString& other) {
    if (this != &other) {
        TextString copy(other);
        Swap(copy);
    }
    return *this;
}

TextString& TextString::operator=(TextString&& other) noexcept {
    if (this != &other) {
        TextString taken(std::move(other));
        Swap(taken);
    }
    return *this;
}

TextString& TextString::operator=(const char* text) {
    TextString copy(text);
    Swap(copy);
    return *this;
}

void TextString::Empty() noexcept {
    TextString empty;
    Swap(empty);
}

TextString TextString::Left(int32_t n) const {
    if (n < 0) {
        n = 0;
    }
    if (n >= length_) {
        return *this;
    }
    return TextString(data_, n, nullptr, 0);
}

TextString TextString::Right(int32_t n) const {
    if (n < 0) {
        n = 0;
    }
    if (n >= length_) {
        return *this;
    }
    return TextString(data_ + (length_ - n), n, nullptr, 0);
}

int32_t TextString::Find(char c) const noexcept {
    if (length_ == 0) {
        return -1;
    }
    for (int32_t i = 0; data_[i] != 0;) {
        if (IsIncompleteCharacter(data_, i)) {
            return -1;
        }
        int32_t size = CharacterSize(data_, i);
        if (size == 1 && data_[i] == c) {
            return i;
        }
        i += size;
    }
    return -1;
}

int32_t TextString::Find(const char* t) const noexcept {
    int32_t patternLength = t == nullptr ? 0 : static_cast<int32_t>(std::strlen(t));
    if (length_ == 0 || patternLength == 0) {
        return -1;
    }
    return FindFrom(data_, length_, 0, t, patternLength);
}

int32_t TextString::ReverseFind(char c) const noexcept {
    int32_t last = -1;
    for (int32_t i = 0; data_[i] != 0;) {
        if (IsIncompleteCharacter(data_, i)) {
            // The byte-string search this mirrors stops on the lone lead byte
            // and reports where it stopped when it had found nothing before.
            return last == -1 ? length_ : last;
        }
        int32_t size = CharacterSize(data_, i);
        if (size == 1 && data_[i] == c) {
            last = i;
        }
        i += size;
    }
    return last;
}

int32_t TextString::Replace(const char* old, const char* replacement) {
    int32_t oldLength = old == nullptr ? 0 : TextLength(old);
    if (oldLength == 0 || length_ == 0) {
        return 0;
    }
    int32_t newLength = TextLength(replacement);

    int32_t count = 0;
    for (int32_t at = FindFrom(data_, length_, 0, old, oldLength); at >= 0;
         at = FindFrom(data_, length_, at + oldLength, old, oldLength)) {
        ++count;
    }
    if (count == 0) {
        return 0;
    }

    int64_t resultLength =
        static_cast<int64_t>(length_) + static_cast<int64_t>(count) * (newLength - oldLength);
    if (resultLength > INT32_MAX - 1) {
        throw std::bad_alloc();
    }
    TextString result;
    if (resultLength > 0) {
        char* out = AllocateTextStorage(static_cast<std::size_t>(resultLength) + 1);
        int32_t written = 0;
        int32_t copied = 0;
        for (int32_t at = FindFrom(data_, length_, 0, old, oldLength); at >= 0;
             at = FindFrom(data_, length_, at + oldLength, old, oldLength)) {
            std::memcpy(out + written, data_ + copied, static_cast<std::size_t>(at - copied));
            written += at - copied;
            if (newLength > 0) {
                std::memcpy(out + written, replacement, static_cast<std::size_t>(newLength));
            }
            written += newLength;
            copied = at + oldLength;
        }
        std::memcpy(out + written, data_ + copied, static_cast<std::size_t>(length_ - copied));
        written += length_ - copied;
        out[written] = 0;
        result.data_ = out;
        result.length_ = written;
        result.capacity_ = written;
    }
    Swap(result);
    return count;
}

TextString& TextString::operator+=(const char* text) {
    int32_t extra = TextLength(text);
    if (extra == 0) {
        return *this;
    }
    int32_t length = SumOfLengths(length_, extra);
    if (length <= capacity_) {
        std::memmove(data_ + length_, text, static_cast<std::size_t>(extra));
        data_[length] = 0;
        length_ = length;
        return *this;
    }
    // Grow geometrically so that appending in a loop stays linear.
    int32_t capacity = length;
    if (capacity_ > 0 && capacity_ < INT32_MAX / 2 && capacity_ * 2 > capacity) {
        capacity = capacity_ * 2;
    }
    char* storage = AllocateTextStorage(static_cast<std::size_t>(capacity) + 1);
    std::memcpy(storage, data_, static_cast<std::size_t>(length_));
    std::memcpy(storage + length_, text, static_cast<std::size_t>(extra));
    storage[length] = 0;
    if (OwnsStorage()) {
        ReleaseTextStorage(data_);
    }
    data_ = storage;
    length_ = length;
    capacity_ = capacity;
    return *this;
}

TextString& TextString::operator+=(const TextString& other) {
    if (this == &other) {
        TextString copy(other);
        return *this += copy.data_;
    }
    return *this += other.data_;
}

TextString& TextString::operator+=(char byte) {
    char text[2] = {byte, 0};
    return *this += text;
}

char* TextString::OpenBuffer(int32_t n) {
    if (n < 0) {
        n = 0;
    }
    int32_t room = n > length_ ? n : length_;
    if (room > INT32_MAX - 1) {
        throw std::bad_alloc();
    }
    if (capacity_ < room || !OwnsStorage()) {
        char* storage = AllocateTextStorage(static_cast<std::size_t>(room) + 1);
        std::memcpy(storage, data_, static_cast<std::size_t>(length_) + 1);
        if (OwnsStorage()) {
            ReleaseTextStorage(data_);
        }
        data_ = storage;
        capacity_ = room;
    }
    // Everything past the terminator reads as zero, so CloseBuffer never
    // scans beyond what the caller was allowed to write.
    std::memset(data_ + length_ + 1, 0, static_cast<std::size_t>(capacity_ - length_));
    return data_;
}

void TextString::CloseBuffer() noexcept {
    if (!OwnsStorage()) {
        return;
    }
    data_[capacity_] = 0;
    length_ = static_cast<int32_t>(std::strlen(data_));
}

TextString operator+(const TextString& left, const TextString& right) {
    return TextString(left.data_, left.length_, right.data_, right.length_);
}

TextString operator+(const TextString& left, const char* right) {
    return TextString(left.data_, left.length_, right, TextLength(right));
}

TextString operator+(const char* left, const TextString& right) {
    return TextString(left, TextLength(left), right.data_, right.length_);
}

TextString operator+(const TextString& left, char right) {
    char text[2] = {right, 0};
    return TextString(left.data_, left.length_, text, 1);
}

int CompareText(const char* a, const char* b) noexcept {
    if (a == nullptr) {
        a = emptyText;
    }
    if (b == nullptr) {
        b = emptyText;
    }
    auto nextUnit = [](const unsigned char*& p) -> unsigned {
        unsigned byte = *p;
        if (byte == 0) {
            return 0;
        }
        if (IsLeadByte(static_cast<unsigned char>(byte))) {
            if (p[1] == 0) {
                return 0; // an incomplete character ends the text
            }
            unsigned unit = byte * 256 + p[1];
            p += 2;
            return unit;
        }
        ++p;
        return byte;
    };
    const auto* pa = reinterpret_cast<const unsigned char*>(a);
    const auto* pb = reinterpret_cast<const unsigned char*>(b);
    for (;;) {
        unsigned ua = nextUnit(pa);
        unsigned ub = nextUnit(pb);
        if (ua != ub) {
            return ua > ub ? 1 : -1;
        }
        if (ua == 0) {
            return 0;
        }
    }
}

bool operator==(const TextString& value, const char* text) noexcept {
    return CompareText(value.Text(), text) == 0;
}

bool operator!=(const TextString& value, const char* text) noexcept {
    return !(value == text);
}
