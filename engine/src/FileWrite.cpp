#include "FileWrite.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace mx {

std::optional<std::string> writeFileReplacing(const std::filesystem::path& file, std::string_view content) {
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) {
        return "it is a folder";
    }
    std::filesystem::path part = file;
    part += ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        if (!out.is_open()) {
            return std::string("cannot write it (") + std::strerror(errno) + ")";
        }
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (out.fail()) {
            std::filesystem::remove(part, error);
            return "writing it failed (is the disk full?)";
        }
    }
    std::filesystem::rename(part, file, error);
    if (error) {
        const std::string reason = error.message();
        std::filesystem::remove(part, error);
        return "cannot put it in place (" + reason + ")";
    }
    return std::nullopt;
}

} // namespace mx
