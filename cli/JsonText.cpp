#include "cli/JsonText.h"

#include <cstdio>

#include "core/TextEncoding.h"

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    const auto escape = [&out](unsigned code) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\u%04x", code);
        out += buffer;
    };
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8CharLength(text, i);
        const auto byte = static_cast<unsigned char>(text[i]);
        if (length == 0) {
            escape(0xDC00 | byte);
            ++i;
            continue;
        }
        if (length == 1) {
            switch (byte) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F)
                    escape(byte);
                else
                    out += static_cast<char>(byte);
            }
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out + "\"";
}
