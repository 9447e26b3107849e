#include "connection_log.h"

#include <windows.h>
#include <string.h>

namespace wayguard {

std::string TrafficText(const PFW_TRAFFIC& record) {
    size_t length = strnlen(record.text, PFW_TRAFFIC_SIZE - 1);
    return std::string(record.text, length);
}

std::string InTextMode(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

bool AppendToLog(const char* path, const std::string& text) {
    if (!path || !*path) return false;
    // Append-only access puts every write at the end as it is then, so a line never lands
    // inside another writer's, and no seek is needed.
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string bytes = InTextMode(text);
    bool ok = true;
    DWORD written = 0;
    if (ok && !bytes.empty())
        ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
             written == bytes.size();
    CloseHandle(file);
    return ok;
}

}  // namespace wayguard
