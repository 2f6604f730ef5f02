// The counted 8-bit text the module uses for paths, lines and registry texts.
//
// A TextString holds bytes of the ANSI code page with no zero byte inside and
// is always followed in storage by one zero, so Text() can be handed to the
// platform at any moment. Lengths, positions and counts are byte counts; the
// searches step over double-byte characters (see LeadBytes.h) as whole units,
// so a separator byte is never found inside one. An absent text (null) counts
// as the empty text wherever a text is taken.
//
// Any operation that needs storage throws std::bad_alloc when there is none,
// and then leaves its operands as they were.
#pragma once

#include <cstdint>

class TextString {
  public:
    TextString() noexcept;
    TextString(const char* text); // NOLINT: texts convert implicitly, as in the hooks
    TextString(const TextString& other);
    TextString(TextString&& other) noexcept;
    ~TextString();

    TextString& operator=(const TextString& other);
    TextString& operator=(TextString&& other) noexcept;
    TextString& operator=(const char* text);

    int32_t Length() const noexcept { return length_; }
    bool IsEmpty() const noexcept { return length_ == 0; }
    // Valid until the value next changes.
    const char* Text() const noexcept { return data_; }
    void Empty() noexcept;

    // The first / last n bytes; n below 0 counts as 0, n beyond the length
    // gives the whole value.
    TextString Left(int32_t n) const;
    TextString Right(int32_t n) const;

    // Position of the first single-byte character c, or -1. A double-byte
    // character never matches; an incomplete one at the end stops the search.
    int32_t Find(char c) const noexcept;
    // Position of the first occurrence of t starting on a character boundary,
    // or -1 (also for an empty or absent t).
    int32_t Find(const char* t) const noexcept;
    // Position of the last single-byte character c, or -1; a value ending in
    // an incomplete character without an earlier c answers its length.
    int32_t ReverseFind(char c) const noexcept;

    // Replaces every non-overlapping occurrence of old by replacement and
    // answers how many there were. Inserted text is never searched again.
    int32_t Replace(const char* old, const char* replacement);

    TextString& operator+=(const TextString& other);
    TextString& operator+=(const char* text);
    TextString& operator+=(char byte);

    // Storage the caller may write up to n bytes into (a zero included);
    // CloseBuffer then takes the value up to the first zero byte. Nothing but
    // CloseBuffer may be called on the value in between.
    char* OpenBuffer(int32_t n);
    void CloseBuffer() noexcept;

    int32_t Capacity() const noexcept { return capacity_; }

  private:
    TextString(const char* first, int32_t count, const char* second, int32_t secondCount);
    void Swap(TextString& other) noexcept;
    // False for the empty value's shared, read-only storage.
    bool OwnsStorage() const noexcept;

    char* data_;
    int32_t length_;
    int32_t capacity_;

    friend TextString operator+(const TextString& left, const TextString& right);
    friend TextString operator+(const TextString& left, const char* right);
    friend TextString operator+(const char* left, const TextString& right);
    friend TextString operator+(const TextString& left, char right);
};

TextString operator+(const TextString& left, const TextString& right);
TextString operator+(const TextString& left, const char* right);
TextString operator+(const char* left, const TextString& right);
TextString operator+(const TextString& left, char right);

// 0 when a and b are equal, 1 when a sorts after b, -1 before; double-byte
// characters compare as one unit, bytes as unsigned numbers, no case folding.
int CompareText(const char* a, const char* b) noexcept;

bool operator==(const TextString& value, const char* text) noexcept;
bool operator!=(const TextString& value, const char* text) noexcept;
