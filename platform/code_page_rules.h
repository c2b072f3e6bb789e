// The character rule both ports of code_page.h apply, kept in one place so
// that they cannot drift apart. Internal to platform/.
#ifndef LM_PLATFORM_CODE_PAGE_RULES_H_
#define LM_PLATFORM_CODE_PAGE_RULES_H_

#include <cstdint>

namespace platform {

// C1 controls and private-use characters: refused in every code page but
// 65001, because Windows uses them for bytes that glibc's tables (and the
// code pages' own definitions) leave undefined. See code_page.h.
inline bool IsRefusedCharacter(uint32_t c) { return (c >= 0x80 && c <= 0x9F) || (c >= 0xE000 && c <= 0xF8FF); }

}  // namespace platform

#endif  // LM_PLATFORM_CODE_PAGE_RULES_H_
