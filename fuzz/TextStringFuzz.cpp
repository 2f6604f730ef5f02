// TextString against a reference model on std::string that shares only the
// lead-byte table: every operation's result and the value afterwards must
// agree, under code page 1252 or 932.
#include "FuzzInput.h"
#include "LeadBytes.h"
#include "TextModel.h"
#include "TextString.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using fuzzing::Check;
using fuzzing::Input;

namespace {

void CheckSame(const TextString& value, const std::string& expected) {
    Check(value.Length() == static_cast<int32_t>(expected.size()));
    Check(std::memcmp(value.Text(), expected.data(), expected.size()) == 0);
    Check(value.Text()[expected.size()] == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Input input(data, size);
    LoadLeadByteTableFor(input.Byte() & 1 ? 932 : 1252);
    std::string expected = input.Text();
    TextString value(expected.c_str());
    for (int steps = 0; steps < 64 && !input.Done(); ++steps) {
        switch (input.Byte() % 10) {
        case 0: {
            int32_t n = input.Count();
            CheckSame(value.Left(n), model::Left(expected, n));
            break;
        }
        case 1: {
            int32_t n = input.Count();
            CheckSame(value.Right(n), model::Right(expected, n));
            break;
        }
        case 2: {
            char c = static_cast<char>(input.Byte());
            Check(value.Find(c) == (expected.empty() ? -1 : model::FindByte(expected, c)));
            break;
        }
        case 3: {
            std::string t = input.Text();
            Check(value.Find(t.c_str()) == model::FindText(expected, t));
            break;
        }
        case 4: {
            char c = static_cast<char>(input.Byte());
            Check(value.ReverseFind(c) == model::ReverseFind(expected, c));
            break;
        }
        case 5: {
            std::string old = input.Text();
            std::string with = input.Text();
            Check(value.Replace(old.c_str(), with.c_str()) == model::Replace(expected, old, with));
            break;
        }
        case 6: {
            std::string tail = input.Text();
            value = value + tail.c_str();
            expected += tail;
            break;
        }
        case 7: {
            std::string tail = input.Text();
            value += TextString(tail.c_str());
            expected += tail;
            break;
        }
        case 8: {
            // A platform call writing into the buffer, zero bytes included.
            int32_t capacity = input.Byte() % 40;
            char* buffer = value.OpenBuffer(capacity);
            int32_t room = std::max<int32_t>(capacity, static_cast<int32_t>(expected.size()));
            std::string written;
            int32_t count = input.Byte() % (capacity + 1);
            for (int32_t i = 0; i < count; ++i) {
                written += static_cast<char>(input.Byte());
            }
            std::memcpy(buffer, written.data(), written.size());
            value.CloseBuffer();
            std::string after =
                written + (written.size() < expected.size() ? expected.substr(written.size())
                                                            : std::string());
            after.resize(std::min<std::size_t>(after.size(), static_cast<std::size_t>(room)));
            expected = after.substr(0, after.find('\0'));
            break;
        }
        default: {
            std::string other = input.Text();
            int order = model::Compare(expected, other);
            Check(CompareText(value.Text(), other.c_str()) == order);
            Check((value == other.c_str()) == (order == 0));
            break;
        }
        }
        CheckSame(value, expected);
    }
    return 0;
}
