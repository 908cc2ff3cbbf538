#pragma once

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "Platform.h"

namespace mx {

/// A file written as a session goes, by a thread of its own: the frame loop hands it text,
/// and the thread writes it and waits for the disk to hold it, so that neither a slow disk
/// nor a full one ever holds up a frame. It is made new: an existing file is never written
/// over. After the first error nothing more is written, so the file never has a gap.
class StreamedFile {
public:
    /// Creates the file, which must not exist yet; isOpen and getError tell how that went.
    explicit StreamedFile(std::filesystem::path path);
    /// Ends the thread and closes the file, after writing what was handed over.
    ~StreamedFile();
    StreamedFile(const StreamedFile&) = delete;
    StreamedFile& operator=(const StreamedFile&) = delete;

    [[nodiscard]] bool isOpen() const { return file.isOpen(); }
    [[nodiscard]] const std::filesystem::path& getPath() const { return path; }

    /// Hands text over to be written, and put on the disk, soon; nothing after an error.
    void append(std::string_view text);
    /// Whether writing has failed; cheap enough to ask every frame.
    [[nodiscard]] bool hasFailed() const { return failed; }
    /// Why writing failed ("No space left on device"), or why the file could not be made;
    /// empty while all is well.
    [[nodiscard]] std::string getError() const;
    /// Writes what is left, waits until the disk holds it, and closes the file; false, with
    /// getError saying why, when some writing failed.
    [[nodiscard]] bool close();

private:
    void writeAll();
    void fail(const std::string& why);

    std::filesystem::path path;
    platform::NewFile file;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::string pending;  ///< handed over, not yet written
    bool closing = false;
    std::string error;
    std::atomic<bool> failed{false};
    std::thread writer;
};

} // namespace mx
