// Fuzzes what a host can pass through the dispatcher: any opcode with any index, value and float, and a
// pointer to a 4 KiB buffer holding fuzz bytes (always NUL-terminated, so that string opcodes read a
// string), mixed with processing calls of any length. Every input gets a fresh plug-in object, opened and
// closed as a host would. The output must stay finite, and nothing may write past the buffer.
//
// Commands, one selector byte each (selector % 2):
//   0  dispatcher: opcode byte, index (4 bytes), value (8 bytes), float bits (4 bytes), then a length byte
//      and that many bytes copied to the start of the buffer (the rest of the buffer is zero)
//   1  processReplacing of 1..2048 frames (2 bytes)
// effClose is left to the end of the input (it destroys the object), and effProcessEvents to the
// render_events target (its pointer must be a well-formed event list). effSetChunk's size is held to the
// buffer's: a host cannot pass more bytes than it has.
#include "FuzzSupport.h"

#include "core/TCustomVSTMidiPlugin.h"

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    template <typename T> T Value() {
        T value{};
        std::uint8_t bytes[sizeof(T)] = {};
        for (auto& b : bytes)
            b = Byte();
        std::memcpy(&value, bytes, sizeof(T));
        return value;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool isolated = (quillon::fuzz::IsolateSettings(), true);
    (void)isolated;
    constexpr std::size_t kBufferSize = 4096;
    static std::vector<std::uint8_t> buffer(kBufferSize);
    static std::vector<float> left(2048), right(2048);

    auto* plugin = new quillon::TCustomVSTMidiPlugin(quillon::fuzz::HostCallback);
    vst2::AEffect* effect = plugin->getAeffect();
    effect->dispatcher(effect, vst2::effOpen, 0, 0, nullptr, 0.0f);

    Reader in(data, size);
    while (!in.Empty()) {
        if (in.Byte() % 2 == 0) {
            const vst2::VstInt32 opcode = in.Byte() % 80;
            const auto index = in.Value<vst2::VstInt32>();
            auto value = static_cast<vst2::VstIntPtr>(in.Value<std::int64_t>());
            const auto opt = in.Value<float>();
            std::fill(buffer.begin(), buffer.end(), 0);
            const std::size_t length = in.Byte();
            for (std::size_t i = 0; i < length; ++i)
                buffer[i] = in.Byte();
            if (opcode == vst2::effClose || opcode == vst2::effProcessEvents) continue;
            if (opcode == vst2::effSetChunk && value > static_cast<vst2::VstIntPtr>(kBufferSize)) value = kBufferSize;
            effect->dispatcher(effect, opcode, index, value, buffer.data(), opt);
        } else {
            const int frames = static_cast<int>(in.Value<std::uint16_t>() % 2048) + 1;
            float* outputs[2] = {left.data(), right.data()};
            effect->processReplacing(effect, nullptr, outputs, frames);
            for (int i = 0; i < frames; ++i)
                if (!std::isfinite(left[static_cast<std::size_t>(i)]) ||
                    !std::isfinite(right[static_cast<std::size_t>(i)]))
                    std::abort();
        }
    }
    effect->dispatcher(effect, vst2::effClose, 0, 0, nullptr, 0.0f);
    return 0;
}
