// TWavFileWriter where libsndfile is not available (Windows): the RIFF/WAVE header of a 32-bit IEEE float
// file is written here, with placeholder sizes that Commit() fills in before the file is flushed and
// renamed over the final path. A console interrupt (SIGINT, which the C runtime delivers on a thread of its
// own), SIGTERM and an abort remove the temporary file before the program ends.
#include "TWavFileWriter.h"

#include "platform/ListFolder.h"
#include "platform/Utf8Path.h"

#include <io.h>

#include <array>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <vector>

namespace quillon {

namespace {

// The temporary file's path as Windows names it (UTF-16), ready for _wremove in a signal handler.
wchar_t gPendingPath[4096];
std::atomic<bool> gPendingArmed{false};

extern "C" void RemovePendingAndDie(int signal) {
    if (gPendingArmed.exchange(false)) _wremove(gPendingPath);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void ArmCleanup(const std::string& path) {
    static bool installed = false;
    const std::wstring wide = platform::PathFromUtf8(path).native();
    if (wide.size() >= std::size(gPendingPath)) return;
    gPendingArmed.store(false);
    std::wmemcpy(gPendingPath, wide.c_str(), wide.size() + 1);
    gPendingArmed.store(true);
    if (installed) return;
    installed = true;
    for (const int signal : {SIGINT, SIGTERM, SIGABRT})
        std::signal(signal, &RemovePendingAndDie);
}

void DisarmCleanup() {
    gPendingArmed.store(false);
}

constexpr std::size_t kHeaderBytes = 58; // RIFF + WAVE, "fmt " (18 bytes), "fact" (4 bytes), "data" header

void Put16(std::uint8_t*& at, std::uint32_t value) {
    *at++ = static_cast<std::uint8_t>(value);
    *at++ = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::uint8_t*& at, std::uint32_t value) {
    Put16(at, value & 0xFFFF);
    Put16(at, value >> 16);
}

void PutTag(std::uint8_t*& at, const char* tag) {
    std::memcpy(at, tag, 4);
    at += 4;
}

std::array<std::uint8_t, kHeaderBytes> Header(int channels, int sampleRate, std::uint64_t frames) {
    std::array<std::uint8_t, kHeaderBytes> header{};
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(channels) * 4;
    const auto dataBytes = static_cast<std::uint32_t>(frames * blockAlign);
    std::uint8_t* at = header.data();
    PutTag(at, "RIFF");
    Put32(at, static_cast<std::uint32_t>(kHeaderBytes - 8) + dataBytes);
    PutTag(at, "WAVE");
    PutTag(at, "fmt ");
    Put32(at, 18);
    Put16(at, 3); // WAVE_FORMAT_IEEE_FLOAT
    Put16(at, static_cast<std::uint32_t>(channels));
    Put32(at, static_cast<std::uint32_t>(sampleRate));
    Put32(at, static_cast<std::uint32_t>(sampleRate) * blockAlign);
    Put16(at, blockAlign);
    Put16(at, 32);
    Put16(at, 0); // no extra format bytes
    PutTag(at, "fact");
    Put32(at, 4);
    Put32(at, static_cast<std::uint32_t>(frames));
    PutTag(at, "data");
    Put32(at, dataBytes);
    return header;
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
    if (path.empty()) return Fail("empty output path");
    if (path.back() == '/' || path.back() == '\\' || platform::IsExistingFolder(path)) // UTF-8, not ANSI
        return Fail("output path '" + path + "' is a folder");
    if (channels < 1 || channels > 256 || sampleRate < 1)
        return Fail("cannot write a WAV file with " + std::to_string(channels) + " channels at " +
                    std::to_string(sampleRate) + " Hz");

    if (const Status status = output_.Begin(path); !status.Ok()) return Fail(status.message);
    ArmCleanup(output_.TemporaryPath());
    channels_ = channels;
    sampleRate_ = sampleRate;
    const auto header = Header(channels, sampleRate, 0);
    if (const Status status = output_.Append(header); !status.Ok()) return Fail(status.message);
    open_ = true;
    return true;
}

bool TWavFileWriter::Write(const float* interleaved, std::size_t frames) {
    if (!open_) return Fail("no output file open");
    const std::size_t bytes = frames * static_cast<std::size_t>(channels_) * sizeof(float);
    if ((framesWritten_ + frames) * static_cast<std::size_t>(channels_) * sizeof(float) > 0xFFFFFFFFu - kHeaderBytes)
        return Fail("cannot write '" + path_ + "': longer than a WAV file holds");
    // x86 and ARM Windows are little-endian, as the file is: the samples go out as they are.
    if (const Status status = output_.Append({reinterpret_cast<const std::uint8_t*>(interleaved), bytes}); !status.Ok())
        return Fail(status.message);
    framesWritten_ += frames;
    return true;
}

bool TWavFileWriter::Commit() {
    if (!open_) return Fail("no output file open");
    const auto header = Header(channels_, sampleRate_, framesWritten_);
    const int fd = output_.Descriptor();
    if (_lseeki64(fd, 0, SEEK_SET) != 0 ||
        _write(fd, header.data(), static_cast<unsigned>(header.size())) != static_cast<int>(header.size()))
        return Fail("cannot finish '" + path_ + "': the header could not be written");
    open_ = false;
    const Status status = output_.Commit();
    DisarmCleanup();
    if (!status.Ok()) return Fail(status.message);
    return true;
}

void TWavFileWriter::CloseFile() {
    open_ = false;
}

void TWavFileWriter::Abandon() {
    CloseFile();
    DisarmCleanup();
    output_.Abandon();
}

} // namespace quillon
