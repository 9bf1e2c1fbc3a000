// The host's chunks: the current program or the whole bank (128 records, the bank's version and current
// slot and the editor's view state), compressed with zlib, as effGetChunk hands them out and effSetChunk
// takes them back.
#include "core/TVSTMidiPlugin.h"

#include "files/LittleEndian.h"
#include "files/ZlibCodec.h"

#include <mutex>
#include <new>
#include <span>

namespace quillon {

using namespace vst2;

VstInt32 TVSTMidiPlugin::getChunk(void** data, bool isPreset) {
    if (!data) return 0;
    *data = nullptr;
    try {
        std::vector<std::uint8_t> image;
        {
            std::lock_guard<std::mutex> lock(recordsMutex_);
            if (isPreset) {
                const int slot = CurrentProgram();
                programs_.SetVersion(slot, record::kFormatVersion);
                image.resize(record::kRecordSize);
                programs_.CopyRecord(slot, image);
            } else {
                for (int slot = 0; slot < kProgramCount; ++slot)
                    programs_.SetVersion(slot, record::kFormatVersion);
                programs_.SetBankCurrentProgram(CurrentProgram());
                programs_.SetBankVersion(record::kFormatVersion);
                image.resize(record::kBankImageSize);
                programs_.CopyImage(image);
            }
        }
        chunk_ = ZlibCompress(image);
    } catch (const std::exception&) {
        chunk_.clear();
        return 0;
    }
    *data = chunk_.data();
    return static_cast<VstInt32>(chunk_.size());
}

VstInt32 TVSTMidiPlugin::setChunk(void* data, VstInt32 byteSize, bool isPreset) {
    if (!data || byteSize <= 0) return 0;
    const std::span<const std::uint8_t> stream(static_cast<const std::uint8_t*>(data),
                                               static_cast<std::size_t>(byteSize));
    std::vector<std::uint8_t> image;
    try {
        image.resize(isPreset ? record::kRecordSize : record::kBankImageSize);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (ZlibInflate(stream, image) != InflateResult::kComplete) return 0; // refused: nothing changes
    {
        std::lock_guard<std::mutex> lock(recordsMutex_);
        if (isPreset) {
            const int slot = CurrentProgram();
            programs_.StoreRecord(slot, image);
            programs_.RepairRecord(slot);
        } else {
            const int current = le::LoadI32(image.data() + record::kBankCurrentProgramOffset);
            if (!TProgramBank::ValidSlot(current)) return 0; // a bank that names no valid current slot is refused whole
            for (int slot = 0; slot < kProgramCount; ++slot) {
                programs_.StoreRecord(slot,
                                      std::span<const std::uint8_t>(image).subspan(
                                          record::kRecordSize * static_cast<std::size_t>(slot), record::kRecordSize));
                programs_.RepairRecord(slot);
            }
            programs_.SetBankVersion(le::LoadF32(image.data() + record::kBankVersionOffset));
            programs_.SetBankCurrentProgram(current);
            curProgram.store(current, std::memory_order_relaxed);
        }
    }
    // The engine takes the state over in the next processing call, never while the audio thread renders.
    RequestProgramApply();
    RequestRefresh(3);
    SetBankModified(0, true);
    SetBankModified(1, true);
    return 1;
}

} // namespace quillon
