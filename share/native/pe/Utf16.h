// UTF-8 to UTF-16 and back for resource texts, in standard C++ only.
#ifndef UTF16_H
#define UTF16_H

#include <string>

// Throws PackError naming `what` when `text` is not valid UTF-8.
std::u16string utf8ToUtf16(const std::string& text, const std::string& what);

// Throws PackError naming `what` on an unpaired surrogate.
std::string utf16ToUtf8(const std::u16string& text, const std::string& what);

#endif // UTF16_H
