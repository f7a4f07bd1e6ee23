// A speech plug-in for the tests: it writes the text it was given, and the
// language the program set, to the file named by LEXVIA_PROBE_OUT; with
// LEXVIA_PROBE_SLEEP_MS it then takes that long, as a slow or hung one would.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

// Built a second time under another export name: a library without the one
// the program looks for.
#ifndef LEXVIA_PROBE_EXPORT
#define LEXVIA_PROBE_EXPORT LexviaSpeakToMe
#endif

extern "C" __attribute__((visibility("default"))) int LEXVIA_PROBE_EXPORT(const char* text) {
  const char* out = std::getenv("LEXVIA_PROBE_OUT");
  const char* language = std::getenv("LEXVIA_SPEECH_LANGUAGE");
  if (out == nullptr) return 1;
  std::FILE* file = std::fopen(out, "ab");
  if (file == nullptr) return 1;
  std::fprintf(file, "%s|%s\n", language != nullptr ? language : "", text);
  std::fclose(file);
  if (const char* sleep = std::getenv("LEXVIA_PROBE_SLEEP_MS")) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(sleep)));
  }
  return 0;
}
