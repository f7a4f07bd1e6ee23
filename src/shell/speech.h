// Speech plug-ins: a shared library chosen by the user that exports
// `extern "C" int LexviaSpeakToMe(const char* text)`, called with the trimmed
// query in Windows-1252. It is loaded before and freed after every call.
#pragma once

#include <string>

namespace lexvia {

inline constexpr char kSpeechExport[] = "LexviaSpeakToMe";

enum class SpeechResult { kSpoken, kCannotLoad, kNoExport };

// Loads the library, calls its export with `text` and frees it again.
SpeechResult speak_with_library(const std::string& library, const std::string& text);

// The query as the plug-in gets it: leading and trailing spaces (only U+0020)
// removed, the rest in Windows-1252.
std::string speech_text(std::u16string_view query);

}  // namespace lexvia
