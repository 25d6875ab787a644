#pragma once

#include "decode/decode_host.h"
#include "decode/image_files.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kalder {

// "YYYYMMDDhhmmss_00CC" + extension: the computer's local time of writing and channel + 1.
std::string snapshotFileName(const std::tm& localTime, unsigned channel, ImageFormat format);

// The computer's local time now (the default clock of the savers).
std::tm localTimeNow();

// One snapshot being saved: a copy of the channel's picture, turned into an 800 x 600 picture
// with its stamp and written in the chosen format, on a thread of its own, so that the decode
// thread that starts it only pays for the copy.
//
// Threads: constructed on a decode thread; done() from any thread; the results once done()
// is true; destroyed by its owner (the destructor waits for the thread).
class SnapshotSaver {
public:
    using Clock = std::function<std::tm()>;
    // Called on the saver's thread once it is done (the front end posts itself a message).
    using Notice = std::function<void()>;

    // Copies the picture (the caller holds the channel's picture lock) and starts the thread,
    // which creates `folder` when missing.
    SnapshotSaver(const PictureView& picture, std::string_view stamp, std::filesystem::path folder,
                  ImageFormat format, Clock clock = localTimeNow, Notice finished = {});
    ~SnapshotSaver();
    SnapshotSaver(const SnapshotSaver&) = delete;
    SnapshotSaver& operator=(const SnapshotSaver&) = delete;

    bool done() const { return m_done.load(); }
    unsigned channel() const { return m_picture.channel; }
    // After done(): whether the file was written, its path, or why not.
    bool saved() const { return m_saved; }
    const std::filesystem::path& file() const { return m_file; }
    const std::string& error() const { return m_error; }

private:
    void run();

    std::vector<std::byte> m_copy; // the picture's bytes; freed by the thread when written
    PictureView m_picture;         // over m_copy
    const std::string m_stamp;
    const std::filesystem::path m_folder;
    const ImageFormat m_format;
    const Clock m_clock;
    const Notice m_finished;
    // Written by the thread before m_done is set, read by others after.
    bool m_saved = false;
    std::filesystem::path m_file;
    std::string m_error;
    std::atomic<bool> m_done{false};
    std::thread m_thread; // started last
};

// What a snapshot ended with, for the front end.
struct SnapshotResult {
    unsigned channel = 0;
    bool saved = false;
    std::filesystem::path file;
    std::string error;
};

// The snapshot requests of the channels and the savers they started. The front end requests
// (the Save button, kalder-cli), each channel's decode thread takes its request with its next
// picture and starts a saver, and the front end collects the finished ones when a saver's
// notice says one is done.
//
// Threads: setTarget, setFinishedNotice, request and collectFinished on the front end's thread;
// takeRequest and start on decode threads; the notice on saver threads. Requests are one
// atomic mask; the savers are guarded by m_mutex.
class SnapshotBoard {
public:
    SnapshotBoard() = default;
    ~SnapshotBoard();
    SnapshotBoard(const SnapshotBoard&) = delete;
    SnapshotBoard& operator=(const SnapshotBoard&) = delete;

    // The folder the files go to (the data folder's Saved folder) and their format.
    void setTarget(std::filesystem::path folder, ImageFormat format);
    void setClock(SnapshotSaver::Clock clock);
    // Called on a saver's thread when it has finished; savers started before keep the old one.
    void setFinishedNotice(SnapshotSaver::Notice notice);

    // Adds the channels of `mask` to the pending requests.
    void request(std::uint16_t mask);
    std::uint16_t pendingRequests() const { return m_requests.load(); }
    // The channels requested whose snapshot has not been collected yet: a request not yet
    // taken, a saver not yet started (between takeRequest and start) or not yet collected.
    std::uint16_t outstanding() const;
    // Front end: drops the requests no decode thread has taken (a channel that sent no picture)
    // and returns their channels; a request taken meanwhile still ends in a saver.
    std::uint16_t withdrawRequests();
    // Decode thread: true once per request of the channel, which is cleared.
    bool takeRequest(unsigned channel);
    // Decode thread: starts a saver for the picture.
    void start(const PictureView& picture, std::string_view stamp);

    // Front end: destroys the finished savers and returns what they did.
    std::vector<SnapshotResult> collectFinished();
    // Savers not yet collected.
    std::size_t savers() const;

private:
    std::atomic<std::uint16_t> m_requests{0};
    mutable std::mutex m_mutex;
    std::filesystem::path m_folder;                       // guarded by m_mutex
    ImageFormat m_format = ImageFormat::Jpeg;             // guarded by m_mutex
    SnapshotSaver::Clock m_clock = localTimeNow;          // guarded by m_mutex
    SnapshotSaver::Notice m_finished;                     // guarded by m_mutex
    std::vector<std::unique_ptr<SnapshotSaver>> m_savers; // guarded by m_mutex
    std::uint16_t m_outstanding = 0;                      // guarded by m_mutex
};

} // namespace kalder
