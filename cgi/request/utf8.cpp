#include "utf8.h"

namespace utf8 {

namespace {

bool continuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

} // namespace

size_t character_size(std::string_view text)
{
    if (text.empty())
        return 0;
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    size_t size = 0;
    /* The lowest second byte of each length rules out overlong forms, and the bounds of E0,
     * ED, F0 and F4 rule out surrogates and code points beyond U+10FFFF. */
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < size || byte(1) < low || byte(1) > high)
        return 0;
    for (size_t i = 2; i < size; ++i)
        if (!continuation(byte(i)))
            return 0;
    return size;
}

bool valid(std::string_view text)
{
    while (!text.empty()) {
        const size_t size = character_size(text);
        if (size == 0)
            return false;
        text.remove_prefix(size);
    }
    return true;
}

size_t cut(std::string_view text, size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    if (!valid(text))
        return limit;
    size_t length = limit;
    while (length > 0 && continuation(static_cast<unsigned char>(text[length])))
        --length;
    return length;
}

std::string repaired(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        size_t size = character_size(text);
        if (size == 0) {
            out += "\xEF\xBF\xBD";
            size = 1;
        } else {
            out.append(text.data(), size);
        }
        text.remove_prefix(size);
    }
    return out;
}

} // namespace utf8
