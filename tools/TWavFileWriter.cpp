#include "TWavFileWriter.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <iterator>

namespace quillon {

namespace {

// The temporary file that a terminating signal removes, copied to a fixed buffer so that the handler
// only reads it (unlink is async-signal-safe; a lock-free atomic flag tells whether it is valid).
char gPendingPath[4096];
std::atomic<bool> gPendingArmed{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Signals that end the program: requests to stop, and faults (a crashing plug-in). The handlers that
// were installed before ours (default, or a sanitizer's) take over again once the file is gone.
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL};
struct sigaction gPrevious[std::size(kCleanupSignals)];

extern "C" void RemovePendingAndDie(int signal) {
    if (gPendingArmed.exchange(false)) unlink(gPendingPath);
    for (std::size_t i = 0; i < std::size(kCleanupSignals); ++i) {
        if (kCleanupSignals[i] != signal) continue;
        sigaction(signal, &gPrevious[i], nullptr);
        // A fault repeats when the handler returns and reaches the previous handler then; a request
        // to stop is sent again.
        if (signal == SIGINT || signal == SIGTERM || signal == SIGHUP || signal == SIGABRT) std::raise(signal);
    }
}

void ArmCleanup(const std::string& path) {
    static bool installed = false;
    if (path.size() >= sizeof gPendingPath) return; // a path this long is refused by open() already
    gPendingArmed.store(false);
    std::memcpy(gPendingPath, path.c_str(), path.size() + 1);
    gPendingArmed.store(true);
    if (installed) return;
    installed = true;
    struct sigaction action {};
    action.sa_handler = &RemovePendingAndDie;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kCleanupSignals); ++i) {
        if (sigaction(kCleanupSignals[i], nullptr, &gPrevious[i]) != 0) continue;
        // A signal the caller chose to ignore stays ignored.
        if (gPrevious[i].sa_handler == SIG_IGN) continue;
        sigaction(kCleanupSignals[i], &action, nullptr);
    }
}

void DisarmCleanup() {
    gPendingArmed.store(false);
}

} // namespace

TWavFileWriter::~TWavFileWriter() {
    Abandon();
}

bool TWavFileWriter::Fail(std::string message) {
    error_ = std::move(message);
    Abandon();
    return false;
}

bool TWavFileWriter::Open(const std::string& path, int sampleRate, int channels) {
    Abandon();
    error_.clear();
    path_ = path;
    framesWritten_ = 0;
    channels_ = channels;
    sampleRate_ = sampleRate;
    if (path.empty()) return Fail("empty output path");
    struct stat existing {};
    if (path.back() == '/' || (stat(path.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)))
        return Fail("output path '" + path + "' is a folder");

    if (const Status status = output_.Begin(path); !status.Ok()) return Fail(status.message);
    ArmCleanup(output_.TemporaryPath());

    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    if (sf_format_check(&info) == 0)
        return Fail("cannot write a WAV file with " + std::to_string(channels) + " channels at " +
                    std::to_string(sampleRate) + " Hz");
    file_ = sf_open_fd(output_.Descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (file_ == nullptr) return Fail("cannot write '" + path + "': " + sf_strerror(nullptr));
    open_ = true;
    return true;
}

bool TWavFileWriter::Write(const float* interleaved, std::size_t frames) {
    if (file_ == nullptr) return Fail("no output file open");
    const auto count = static_cast<sf_count_t>(frames);
    if (sf_writef_float(file_, interleaved, count) != count)
        return Fail("cannot write '" + path_ + "': " + sf_strerror(file_));
    framesWritten_ += frames;
    return true;
}

bool TWavFileWriter::Commit() {
    if (file_ == nullptr) return Fail("no output file open");
    // Closing writes the final header sizes.
    const int closeResult = sf_close(file_);
    file_ = nullptr;
    open_ = false;
    if (closeResult != 0) return Fail("cannot finish '" + path_ + "': " + sf_error_number(closeResult));
    const Status status = output_.Commit();
    DisarmCleanup();
    if (!status.Ok()) return Fail(status.message);
    return true;
}

void TWavFileWriter::CloseFile() {
    if (file_ != nullptr) sf_close(file_);
    file_ = nullptr;
    open_ = false;
}

void TWavFileWriter::Abandon() {
    CloseFile();
    DisarmCleanup();
    output_.Abandon();
}

} // namespace quillon
