#include "listfile/unicode_text.h"

#include <cstdint>

#include "ui/text_rules.h"

namespace listfile {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

using ui::IsHighSurrogate;
using ui::IsLowSurrogate;
using ui::IsSurrogate;

// A code unit as stored, whatever the width and signedness of wchar_t.
char32_t Unit(wchar_t c) { return static_cast<char32_t>(static_cast<uint32_t>(c)); }

void AppendUtf16(std::wstring& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<wchar_t>(c);
        return;
    }
    c -= 0x10000;
    out += static_cast<wchar_t>(0xD800 + (c >> 10));
    out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    const int continuations = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    static constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
    out += static_cast<char>(kLead[continuations] | (c >> (6 * continuations)));
    for (int shift = 6 * (continuations - 1); shift >= 0; shift -= 6) out += static_cast<char>(0x80 | ((c >> shift) & 0x3F));
}

// The length of the well-formed UTF-8 sequence at i (shortest form, no surrogate), or 0.
size_t Utf8Sequence(std::string_view bytes, size_t i, char32_t& c) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    size_t length = 1;
    char32_t least = 0;
    if (lead < 0x80) {
        c = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, c = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, c = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, c = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() - i < length) return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        c = (c << 6) | (next & 0x3F);
    }
    return c < least || c > 0x10FFFF || IsSurrogate(c) ? 0 : length;
}

DecodedText DecodeUtf8(std::string_view bytes) {
    DecodedText decoded;
    decoded.text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        char32_t c = 0;
        size_t length = Utf8Sequence(bytes, i, c);
        if (length == 0) {
            decoded.invalidAt.push_back(decoded.text.size());
            c = kReplacement;
            length = 1;
        }
        AppendUtf16(decoded.text, c);
        i += length;
    }
    return decoded;
}

DecodedText DecodeUtf16(std::string_view bytes, bool bigEndian) {
    DecodedText decoded;
    decoded.encoding = L"UTF-16";
    const size_t units = bytes.size() / 2;
    auto unit = [&](size_t i) {
        const char32_t first = static_cast<unsigned char>(bytes[2 * i]);
        const char32_t second = static_cast<unsigned char>(bytes[2 * i + 1]);
        return bigEndian ? (first << 8) | second : (second << 8) | first;
    };
    decoded.text.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        char32_t c = unit(i);
        if (IsHighSurrogate(c) && i + 1 < units && IsLowSurrogate(unit(i + 1))) {
            decoded.text += static_cast<wchar_t>(c);
            c = unit(++i);
        } else if (IsSurrogate(c)) {
            decoded.invalidAt.push_back(decoded.text.size());
            c = kReplacement;
        }
        decoded.text += static_cast<wchar_t>(c);
    }
    if (bytes.size() % 2 != 0) {
        decoded.invalidAt.push_back(decoded.text.size());
        decoded.text += static_cast<wchar_t>(kReplacement);
    }
    return decoded;
}

bool StartsWith(std::string_view bytes, std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; }

}  // namespace

DecodedText Decode(std::string_view bytes, AnsiDecoder decodeAnsi) {
    if (StartsWith(bytes, kUtf8Bom)) return DecodeUtf8(bytes.substr(3));
    if (StartsWith(bytes, "\xFF\xFE")) return DecodeUtf16(bytes.substr(2), false);
    if (StartsWith(bytes, "\xFE\xFF")) return DecodeUtf16(bytes.substr(2), true);
    DecodedText decoded = DecodeUtf8(bytes);
    if (!decoded.invalidAt.empty()) decoded = decodeAnsi(bytes);
    return decoded;
}

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = Unit(text[i]);
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(Unit(text[i + 1]))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (Unit(text[++i]) - 0xDC00);
        } else if (c > 0xFFFF || IsSurrogate(c)) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

}  // namespace listfile
