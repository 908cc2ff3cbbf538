#include "DataFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace mx {

std::optional<std::string> whyNotDataFile(const std::filesystem::path& file) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(file, error); // follows links to their target
    switch (status.type()) {
    case fs::file_type::regular:
        break;
    case fs::file_type::not_found:
        return MISSING_FILE;
    case fs::file_type::directory:
        return "is a folder";
    case fs::file_type::fifo:
        return "is a FIFO";
    case fs::file_type::block:
    case fs::file_type::character:
        return "is a device";
    case fs::file_type::socket:
        return "is a socket";
    case fs::file_type::none:
        return "cannot be read (" + error.message() + ")";
    default:
        return "is not a regular file";
    }
    errno = 0;
    const std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) {
        const int cause = errno;
        return std::string("cannot be read (") + (cause != 0 ? std::strerror(cause) : "it does not open") + ")";
    }
    return std::nullopt;
}

} // namespace mx
