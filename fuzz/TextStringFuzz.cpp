// TextString against a reference model on std::string that shares only the
// lead-byte table: every operation's result and the value afterwards must
// agree, under code page 1252 or 932.
#include "LeadBytes.h"
#include "TextString.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool Lead(unsigned char byte) {
    return IsLeadByte(byte);
}

// Character starts of s; a lead byte in the last place is a character alone.
std::vector<int32_t> Starts(const std::string& s, std::size_t from = 0) {
    std::vector<int32_t> starts;
    std::size_t i = from;
    while (i < s.size()) {
        starts.push_back(static_cast<int32_t>(i));
        i += Lead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
    }
    return starts;
}

bool IsDouble(const std::string& s, std::size_t i) {
    return Lead(static_cast<unsigned char>(s[i])) && i + 1 < s.size();
}
bool IsIncomplete(const std::string& s, std::size_t i) {
    return Lead(static_cast<unsigned char>(s[i])) && i + 1 == s.size();
}

int32_t ModelFindByte(const std::string& s, char c) {
    for (int32_t i : Starts(s)) {
        if (IsIncomplete(s, static_cast<std::size_t>(i))) {
            return -1;
        }
        if (!IsDouble(s, static_cast<std::size_t>(i)) && s[static_cast<std::size_t>(i)] == c) {
            return i;
        }
    }
    return -1;
}

int32_t ModelFindText(const std::string& s, const std::string& t, std::size_t from = 0) {
    if (t.empty() || s.empty()) {
        return -1;
    }
    for (int32_t i : Starts(s, from)) {
        if (s.size() - static_cast<std::size_t>(i) >= t.size() &&
            s.compare(static_cast<std::size_t>(i), t.size(), t) == 0) {
            return i;
        }
    }
    return -1;
}

int32_t ModelReverseFind(const std::string& s, char c) {
    int32_t last = -1;
    for (int32_t i : Starts(s)) {
        if (IsIncomplete(s, static_cast<std::size_t>(i))) {
            return last == -1 ? static_cast<int32_t>(s.size()) : last;
        }
        if (!IsDouble(s, static_cast<std::size_t>(i)) && s[static_cast<std::size_t>(i)] == c) {
            last = i;
        }
    }
    return last;
}

int32_t ModelReplace(std::string& s, const std::string& old, const std::string& with) {
    if (old.empty()) {
        return 0;
    }
    std::string out;
    std::size_t from = 0;
    int32_t count = 0;
    for (;;) {
        int32_t at = ModelFindText(s, old, from);
        if (at < 0) {
            break;
        }
        out += s.substr(from, static_cast<std::size_t>(at) - from) + with;
        from = static_cast<std::size_t>(at) + old.size();
        ++count;
    }
    out += s.substr(from);
    s = out;
    return count;
}

std::vector<unsigned> Units(const std::string& s) {
    std::vector<unsigned> units;
    for (std::size_t i = 0; i < s.size();) {
        unsigned char byte = static_cast<unsigned char>(s[i]);
        if (Lead(byte)) {
            if (i + 1 == s.size()) {
                break; // an incomplete character ends the text
            }
            units.push_back(byte * 256u + static_cast<unsigned char>(s[i + 1]));
            i += 2;
        } else {
            units.push_back(byte);
            ++i;
        }
    }
    units.push_back(0);
    return units;
}

int ModelCompare(const std::string& a, const std::string& b) {
    std::vector<unsigned> ua = Units(a);
    std::vector<unsigned> ub = Units(b);
    for (std::size_t i = 0;; ++i) {
        if (ua[i] != ub[i]) {
            return ua[i] > ub[i] ? 1 : -1;
        }
        if (ua[i] == 0) {
            return 0;
        }
    }
}

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckSame(const TextString& value, const std::string& model) {
    Check(value.Length() == static_cast<int32_t>(model.size()));
    Check(std::memcmp(value.Text(), model.data(), model.size()) == 0);
    Check(value.Text()[model.size()] == 0);
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Input input(data, size);
    LoadLeadByteTableFor(input.Byte() & 1 ? 932 : 1252);
    std::string model = input.Text();
    TextString value(model.c_str());
    for (int steps = 0; steps < 64 && !input.Done(); ++steps) {
        switch (input.Byte() % 10) {
        case 0: {
            int32_t n = input.Count();
            std::size_t take = n < 0 ? 0 : std::min(model.size(), static_cast<std::size_t>(n));
            CheckSame(value.Left(n), model.substr(0, take));
            break;
        }
        case 1: {
            int32_t n = input.Count();
            std::size_t take = n < 0 ? 0 : std::min(model.size(), static_cast<std::size_t>(n));
            CheckSame(value.Right(n), model.substr(model.size() - take));
            break;
        }
        case 2: {
            char c = static_cast<char>(input.Byte());
            Check(value.Find(c) == (model.empty() ? -1 : ModelFindByte(model, c)));
            break;
        }
        case 3: {
            std::string t = input.Text();
            Check(value.Find(t.c_str()) == ModelFindText(model, t));
            break;
        }
        case 4: {
            char c = static_cast<char>(input.Byte());
            Check(value.ReverseFind(c) == ModelReverseFind(model, c));
            break;
        }
        case 5: {
            std::string old = input.Text();
            std::string with = input.Text();
            Check(value.Replace(old.c_str(), with.c_str()) == ModelReplace(model, old, with));
            break;
        }
        case 6: {
            std::string tail = input.Text();
            value = value + tail.c_str();
            model += tail;
            break;
        }
        case 7: {
            std::string tail = input.Text();
            value += TextString(tail.c_str());
            model += tail;
            break;
        }
        case 8: {
            // A platform call writing into the buffer, zero bytes included.
            int32_t capacity = input.Byte() % 40;
            char* buffer = value.OpenBuffer(capacity);
            int32_t room = std::max<int32_t>(capacity, static_cast<int32_t>(model.size()));
            std::string written;
            int32_t count = input.Byte() % (capacity + 1);
            for (int32_t i = 0; i < count; ++i) {
                written += static_cast<char>(input.Byte());
            }
            std::memcpy(buffer, written.data(), written.size());
            value.CloseBuffer();
            std::string after =
                written +
                (written.size() < model.size() ? model.substr(written.size()) : std::string());
            after.resize(std::min<std::size_t>(after.size(), static_cast<std::size_t>(room)));
            model = after.substr(0, after.find('\0'));
            break;
        }
        default: {
            std::string other = input.Text();
            int expected = ModelCompare(model, other);
            Check(CompareText(value.Text(), other.c_str()) == expected);
            Check((value == other.c_str()) == (expected == 0));
            break;
        }
        }
        CheckSame(value, model);
    }
    return 0;
}
