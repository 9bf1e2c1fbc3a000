// The skin archives, included byte for byte from the files the art generator wrote at build time
// (QUILLON_SKIN_1_PATH, QUILLON_SKIN_2_PATH).
#include "editor/EmbeddedSkin.h"

// clang-format off
#if defined(_WIN32)
// PE/COFF: a read-only data section, no symbol visibility (the module-definition file decides the exports),
// and C symbols carry the target's label prefix ("_" on 32-bit x86).
#define QUILLON_EMBED_TEXT(x) #x
#define QUILLON_EMBED_PREFIX(x) QUILLON_EMBED_TEXT(x)
#define QUILLON_EMBED(name, path)                                                                        \
    __asm__(".section .rdata$" #name ",\"dr\"\n"                                                         \
            ".balign 16\n"                                                                                \
            ".globl " QUILLON_EMBED_PREFIX(__USER_LABEL_PREFIX__) #name "_begin\n"                        \
            QUILLON_EMBED_PREFIX(__USER_LABEL_PREFIX__) #name "_begin:\n"                                 \
            ".incbin \"" path "\"\n"                                                                      \
            ".globl " QUILLON_EMBED_PREFIX(__USER_LABEL_PREFIX__) #name "_end\n"                          \
            QUILLON_EMBED_PREFIX(__USER_LABEL_PREFIX__) #name "_end:\n"                                   \
            ".text\n")
#else
#define QUILLON_EMBED(name, path)                                                                        \
    __asm__(".section .rodata." #name ",\"a\"\n"                                                          \
            ".balign 16\n"                                                                                \
            ".globl " #name "_begin\n.hidden " #name "_begin\n" #name "_begin:\n"                         \
            ".incbin \"" path "\"\n"                                                                      \
            ".globl " #name "_end\n.hidden " #name "_end\n" #name "_end:\n"                               \
            ".previous\n")
#endif
// clang-format on

QUILLON_EMBED(quillon_skin_1, QUILLON_SKIN_1_PATH);
QUILLON_EMBED(quillon_skin_2, QUILLON_SKIN_2_PATH);

extern "C" {
extern const std::uint8_t quillon_skin_1_begin[];
extern const std::uint8_t quillon_skin_1_end[];
extern const std::uint8_t quillon_skin_2_begin[];
extern const std::uint8_t quillon_skin_2_end[];
}

namespace quillon {

std::span<const std::uint8_t> EmbeddedSkinArchive(int scale) {
    if (scale == 1) return {quillon_skin_1_begin, quillon_skin_1_end};
    if (scale == 2) return {quillon_skin_2_begin, quillon_skin_2_end};
    return {};
}

} // namespace quillon
