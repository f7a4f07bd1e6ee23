#include "shell/speech.h"

#include <dlfcn.h>

#include <cstring>

#include "dict/file_source.h"
#include "dict/transliteration.h"

namespace lexvia {

std::string speech_text(std::u16string_view query) {
  std::string text = utf16_to_cp1252_transliterated(query);
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

SpeechResult speak_with_library(const std::string& library, const std::string& text) {
  // A bare name would be looked for along the loader's path; only a path
  // names the file the user chose.
  const std::string path = library.find('/') == std::string::npos ? "./" + library : library;
  // The loader would wait for ever on a FIFO: only a regular file is handed to it.
  if (!PosixFile::open(path)) return SpeechResult::kCannotLoad;
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return SpeechResult::kCannotLoad;
  using Speak = int (*)(const char*);
  void* symbol = ::dlsym(handle, kSpeechExport);
  if (symbol == nullptr) {
    ::dlclose(handle);
    return SpeechResult::kNoExport;
  }
  // A function pointer and an object pointer share their representation on
  // every platform with dlsym.
  Speak speak;
  static_assert(sizeof speak == sizeof symbol);
  std::memcpy(&speak, &symbol, sizeof speak);
  (void)speak(text.c_str());
  ::dlclose(handle);
  return SpeechResult::kSpoken;
}

}  // namespace lexvia
