#include "StreamedFile.h"

#include <utility>

namespace mx {

StreamedFile::StreamedFile(std::filesystem::path path_) : path(std::move(path_)) {
    std::string why;
    if (!file.create(path, why)) {
        fail(why);
        return;
    }
    writer = std::thread([this] { writeAll(); });
}

StreamedFile::~StreamedFile() {
    if (file.isOpen()) {
        (void)close();
    }
}

void StreamedFile::append(std::string_view text) {
    {
        const std::lock_guard lock(mutex);
        if (!error.empty() || closing) {
            return;
        }
        pending.append(text);
    }
    wake.notify_one();
}

std::string StreamedFile::getError() const {
    const std::lock_guard lock(mutex);
    return error;
}

void StreamedFile::fail(const std::string& why) {
    if (error.empty()) {
        error = why.empty() ? "an unknown error" : why;
    }
    pending.clear();
    failed = true;
}

void StreamedFile::writeAll() {
    std::unique_lock lock(mutex);
    while (true) {
        wake.wait(lock, [this] { return !pending.empty() || closing; });
        if (pending.empty()) {
            return; // closing, and all written
        }
        const std::string batch = std::exchange(pending, std::string());
        lock.unlock();
        std::string why;
        const bool written = file.write(batch, why) && file.sync(why);
        lock.lock();
        if (!written) {
            fail(why);
        }
    }
}

bool StreamedFile::close() {
    {
        const std::lock_guard lock(mutex);
        closing = true;
    }
    wake.notify_one();
    if (writer.joinable()) {
        writer.join();
    }
    if (file.isOpen()) {
        std::string why;
        if (!file.close(why)) {
            const std::lock_guard lock(mutex);
            fail(why);
        }
    }
    return !failed;
}

} // namespace mx
