// The bundled speech plug-in. The program loads it, calls LexviaSpeakToMe
// with the query in Windows-1252 and frees it again, so espeak-ng starts on
// the first call and stops when the library is unloaded (or, for played
// speech, at the end of the call).
#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "windows1252.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

using lexvia::speech::utf8_from_cp1252;

// espeak-ng 1.51 keeps two blocks that espeak_ng_Terminate does not free:
// the voice list built when a voice is chosen, and the audio object made
// when the output is set up, even for output to memory. Both are lost when
// the library is unloaded, and by then LeakSanitizer cannot name the
// library to suppress them; so the sanitizer build leaves out what those
// calls allocate.
#if defined(__SANITIZE_ADDRESS__)
using EspeakOwnLeaks = __lsan::ScopedDisabler;
#else
struct EspeakOwnLeaks {};
#endif

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// REQUIRES: espeak-ng initialised.
bool select_language(const std::string& language) {
  espeak_VOICE wanted{};
  wanted.languages = language.c_str();
  [[maybe_unused]] const EspeakOwnLeaks ignored;
  return espeak_SetVoiceByProperties(&wanted) == EE_OK;
}

// REQUIRES: espeak-ng initialised.
bool select_voice() {
  const std::string voice = environment("LEXVIA_SPEECH_VOICE");
  if (!voice.empty()) {
    [[maybe_unused]] const EspeakOwnLeaks ignored;
    if (espeak_SetVoiceByName(voice.c_str()) == EE_OK) return true;
  }
  const std::string language = environment("LEXVIA_SPEECH_LANGUAGE");
  if (!language.empty() && select_language(language)) return true;
  return select_language("en");
}

int collect_samples(short* samples, int count, espeak_EVENT* events) {
  auto* out = static_cast<std::vector<short>*>(events != nullptr ? events->user_data : nullptr);
  if (out == nullptr) return 1;
  if (samples == nullptr || count <= 0) return 0;
  try {
    out->insert(out->end(), samples, samples + count);
  } catch (const std::exception&) {
    return 1;  // stops the synthesis; nothing may unwind through espeak-ng
  }
  return 0;
}

void put_le(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string wav_bytes(const std::vector<short>& samples, std::uint32_t rate) {
  const auto data_size = static_cast<std::uint32_t>(samples.size() * 2);
  std::string out = "RIFF";
  put_le(out, 36 + data_size, 4);
  out += "WAVEfmt ";
  put_le(out, 16, 4);  // fmt chunk size
  put_le(out, 1, 2);   // PCM
  put_le(out, 1, 2);   // mono
  put_le(out, rate, 4);
  put_le(out, rate * 2, 4);  // bytes per second
  put_le(out, 2, 2);         // bytes per frame
  put_le(out, 16, 2);        // bits per sample
  out += "data";
  put_le(out, data_size, 4);
  for (const short s : samples) put_le(out, static_cast<std::uint16_t>(s), 2);
  return out;
}

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// A reader never sees half a file: the bytes go to a temporary beside the
// target, which then replaces it in one rename.
bool write_wav(const std::string& path, const std::vector<short>& samples, int rate) {
  struct stat status {};
  // lstat, so that a link is refused too: the rename would replace the link
  // rather than write where it points.
  if (::lstat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) return false;
  if (rate <= 0 || samples.size() > (0xFFFFFFFFu - 36) / 2) return false;
  const std::string bytes = wav_bytes(samples, static_cast<std::uint32_t>(rate));
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  // mkstemp makes the file private; a recording is no secret.
  bool ok = ::fchmod(fd, 0644) == 0 && write_all(fd, bytes);
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

constexpr auto kPlay =
    static_cast<espeak_ng_OUTPUT_MODE>(ENOUTPUT_MODE_SYNCHRONOUS | ENOUTPUT_MODE_SPEAK_AUDIO);
constexpr auto kRecord = ENOUTPUT_MODE_SYNCHRONOUS;

// espeak-ng keeps all its state in globals, so one object owns it and lets
// one call at a time through. espeak-ng 1.51 starts once per load: after
// espeak_ng_Terminate a second start hangs in its next Terminate.
class Speaker {
 public:
  Speaker() = default;
  Speaker(const Speaker&) = delete;
  Speaker& operator=(const Speaker&) = delete;
  ~Speaker() { stop(); }

  int speak(std::string_view cp1252) {
    const std::lock_guard lock(mutex_);
    const std::string wav_path = environment("LEXVIA_SPEECH_WAV");
    if (wav_path.empty()) {
      const bool spoken = synthesise(cp1252, kPlay, nullptr);
      // Stopping espeak-ng after playing wakes its own thread, which opens
      // the sound device once more, and ALSA loads its parts with dlopen.
      // In the library's destructor dlclose holds the loader's lock while
      // espeak-ng waits for that thread; so playing stops it here, and the
      // program's next call comes with the next load.
      stop();
      return spoken ? 0 : 1;
    }
    std::vector<short> samples;
    if (!synthesise(cp1252, kRecord, &samples)) return 1;
    return write_wav(wav_path, samples, espeak_ng_GetSampleRate()) ? 0 : 1;
  }

 private:
  enum class State { kNotStarted, kRunning, kStopped };

  // REQUIRES: mutex_ held.
  bool synthesise(std::string_view cp1252, espeak_ng_OUTPUT_MODE mode,
                  std::vector<short>* samples) {
    if (!start(mode) || !select_voice()) return false;
    const std::string text = utf8_from_cp1252(cp1252);
    // Synchronous output: this returns once all is spoken and the sound
    // drained.
    return espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8,
                        nullptr, samples) == EE_OK;
  }

  // REQUIRES: mutex_ held.
  bool start(espeak_ng_OUTPUT_MODE mode) {
    if (state_ == State::kStopped) return false;
    if (state_ == State::kNotStarted) {
      espeak_ng_InitializePath(nullptr);
      espeak_ng_ERROR_CONTEXT context = nullptr;
      const espeak_ng_STATUS status = espeak_ng_Initialize(&context);
      espeak_ng_ClearErrorContext(&context);
      // A failed start is not retried: what it left behind is unknown.
      state_ = status == ENS_OK ? State::kRunning : State::kStopped;
      if (state_ != State::kRunning) return false;
      espeak_SetSynthCallback(collect_samples);
    }
    if (output_ != mode) {
      [[maybe_unused]] const EspeakOwnLeaks ignored;
      if (espeak_ng_InitializeOutput(mode, 0, nullptr) != ENS_OK) return false;
      output_ = mode;
    }
    return true;
  }

  // REQUIRES: mutex_ held, or the library being unloaded.
  void stop() {
    if (state_ != State::kRunning) return;
    espeak_ng_Terminate();
    state_ = State::kStopped;
  }

  std::mutex mutex_;
  State state_ = State::kNotStarted;
  std::optional<espeak_ng_OUTPUT_MODE> output_;
};

// Destroyed when the library is unloaded, which gives espeak-ng's memory back.
Speaker speaker;

}  // namespace

extern "C" __attribute__((visibility("default"))) int LexviaSpeakToMe(const char* text) {
  if (text == nullptr || *text == '\0') return 0;
  try {
    return speaker.speak(text);
  } catch (const std::exception&) {
    return 1;
  }
}
