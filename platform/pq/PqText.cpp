#include "PqText.h"

namespace ostrel::pq {

std::string Redacted(std::string message, const std::vector<std::string>& secrets)
{
    for (const std::string& secret : secrets) {
        if (secret.empty())
            continue;
        for (size_t at = message.find(secret); at != std::string::npos; at = message.find(secret, at))
            message.replace(at, secret.size(), "********");
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    return message;
}

void AppendCopyRow(std::string& out, const SqlRow& row)
{
    bool first = true;
    for (const SqlValue& value : row) {
        if (!first)
            out += '\t';
        first = false;
        if (!value) {
            out += "\\N";
            continue;
        }
        for (char c : *value) {
            switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += c; break;
            }
        }
    }
    out += '\n';
}

}  // namespace ostrel::pq
