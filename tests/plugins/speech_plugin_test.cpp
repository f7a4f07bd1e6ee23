// The espeak-ng plug-in, driven as the program drives it: loaded with
// dlopen, one call, unloaded. Speech goes to WAV files so that it can be
// checked without a sound card.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../../plugins/speech-espeak/windows1252.h"

#ifndef LEXVIA_SPEECH_PLUGIN
#define LEXVIA_SPEECH_PLUGIN ""  // configured without the speech plug-in
#endif

namespace {

namespace fs = std::filesystem;

using Speak = int (*)(const char*);

class Plugin {
 public:
  Plugin() : handle_(::dlopen(LEXVIA_SPEECH_PLUGIN, RTLD_NOW | RTLD_LOCAL)) {}
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;
  ~Plugin() {
    if (handle_ != nullptr) ::dlclose(handle_);
  }

  Speak speak() const {
    void* symbol = handle_ != nullptr ? ::dlsym(handle_, "LexviaSpeakToMe") : nullptr;
    // A function pointer and an object pointer share their representation
    // wherever dlsym exists.
    Speak function = nullptr;
    static_assert(sizeof function == sizeof symbol);
    std::memcpy(&function, &symbol, sizeof function);
    return function;
  }

 private:
  void* handle_;
};

bool plugin_is_loaded() {
  void* handle = ::dlopen(LEXVIA_SPEECH_PLUGIN, RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) ::dlclose(handle);
  return handle != nullptr;
}

std::uint32_t le(const std::string& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i)
    value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  return value;
}

// Returns what is wrong with the file as a RIFF/WAVE of 16-bit mono PCM at
// 22,050 Hz, or an empty string; `samples` gets its data.
std::string check_wav(const fs::path& path, std::vector<std::int16_t>& samples) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "cannot open " + path.string();
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
    return "not RIFF/WAVE";
  if (le(bytes, 4, 4) != bytes.size() - 8) return "RIFF size is not the file size less 8";
  bool have_format = false;
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    const std::uint32_t size = le(bytes, at + 4, 4);
    const std::size_t body = at + 8;
    if (size > bytes.size() - body) return id + " chunk runs past the end of the file";
    if (id == "fmt ") {
      if (size < 16) return "fmt chunk too short";
      if (le(bytes, body, 2) != 1) return "not PCM";
      if (le(bytes, body + 2, 2) != 1) return "not mono";
      if (le(bytes, body + 4, 4) != 22050) return "sample rate is not 22050";
      if (le(bytes, body + 8, 4) != 44100) return "byte rate is not 44100";
      if (le(bytes, body + 12, 2) != 2) return "block align is not 2";
      if (le(bytes, body + 14, 2) != 16) return "not 16 bits";
      have_format = true;
    } else if (id == "data") {
      if (!have_format) return "data before fmt";
      if (body + size != bytes.size()) return "data chunk does not end the file";
      samples.resize(size / 2);
      for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(le(bytes, body + 2 * i, 2));
      return "";
    }
    at = body + size + (size & 1);
  }
  return "no data chunk";
}

double seconds(const std::vector<std::int16_t>& samples) {
  return static_cast<double>(samples.size()) / 22050.0;
}

class SpeechPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::strlen(LEXVIA_SPEECH_PLUGIN) == 0) GTEST_SKIP() << "built without the speech plug-in";
    folder_ = fs::temp_directory_path() /
              ("lexvia-speech-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    ::unsetenv("LEXVIA_SPEECH_LANGUAGE");
    ::unsetenv("LEXVIA_SPEECH_VOICE");
    ::unsetenv("LEXVIA_SPEECH_WAV");
  }

  void TearDown() override {
    ::unsetenv("LEXVIA_SPEECH_LANGUAGE");
    ::unsetenv("LEXVIA_SPEECH_VOICE");
    ::unsetenv("LEXVIA_SPEECH_WAV");
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  static void set(const char* name, const char* value) {
    if (value != nullptr)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }

  // Speaks `text` into a new WAV file through a fresh load of the plug-in
  // and gives back its samples; the test has failed when it is empty.
  std::optional<std::vector<std::int16_t>> say(const char* text, const char* language,
                                               const char* voice = nullptr) {
    const fs::path wav = folder_ / ("speech" + std::to_string(++files_) + ".wav");
    set("LEXVIA_SPEECH_LANGUAGE", language);
    set("LEXVIA_SPEECH_VOICE", voice);
    set("LEXVIA_SPEECH_WAV", wav.c_str());
    const Plugin plugin;
    const Speak speak = plugin.speak();
    if (speak == nullptr) {
      ADD_FAILURE() << "cannot load " << LEXVIA_SPEECH_PLUGIN << ": " << ::dlerror();
      return std::nullopt;
    }
    const int result = speak(text);
    if (result != 0) {
      ADD_FAILURE() << "LexviaSpeakToMe returned " << result;
      return std::nullopt;
    }
    std::vector<std::int16_t> samples;
    const std::string problem = check_wav(wav, samples);
    if (!problem.empty()) {
      ADD_FAILURE() << wav << ": " << problem;
      return std::nullopt;
    }
    return samples;
  }

  fs::path folder_;
  int files_ = 0;
};

TEST_F(SpeechPlugin, OneWordMakesAPlausibleWav) {
  struct Case {
    const char* text;
    const char* language;
  };
  // "Gr\xFC\xDF\x65" is the German greeting, with u-umlaut and sharp s, in
  // Windows-1252 (the e written as \x65, since a letter e after \xDF would
  // extend the escape).
  for (const Case& c : {Case{"house", "en"}, Case{"Haus", "de"}, Case{"Gr\xFC\xDF\x65", "de"}}) {
    SCOPED_TRACE(c.text);
    const auto samples = say(c.text, c.language);
    ASSERT_TRUE(samples);
    EXPECT_GT(seconds(*samples), 0.2);
    EXPECT_LT(seconds(*samples), 2.0);
    EXPECT_TRUE(
        std::any_of(samples->begin(), samples->end(), [](std::int16_t s) { return s != 0; }));
  }
}

// The same text through the same engine only sounds different when another
// voice, with its own spelling rules and phonemes, read it: so the German
// and English readings of "Haus" differing shows that the language picked
// the voice.
TEST_F(SpeechPlugin, TheLanguageChoosesTheVoice) {
  const auto german = say("Haus", "de");
  const auto english = say("Haus", "en");
  ASSERT_TRUE(german && english);
  EXPECT_NE(*german, *english);
}

// A fresh start of espeak-ng gives the same samples for the same text and
// voice (the first row shows it; within one start they drift, so every
// call here loads the plug-in again), so equal samples mean the same voice.
TEST_F(SpeechPlugin, VoiceFallsBackFromNameToLanguageToEnglish) {
  struct Case {
    const char* what;
    const char* language;
    const char* voice;
    const char* same_as_language;
  };
  const Case cases[] = {
      {"the same call again", "de", nullptr, "de"},
      {"a voice by name overrides the language", "en", "de", "de"},
      {"an unknown voice falls back to the language", "de", "no-such-voice", "de"},
      {"a language code in capitals", "DE", nullptr, "de"},
      {"an unknown language falls back to English", "zz", nullptr, "en"},
      {"no language means English", nullptr, nullptr, "en"},
      {"an empty language means English", "", nullptr, "en"},
      {"an unknown voice and language mean English", "zz", "no-such-voice", "en"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto expected = say("Haus", c.same_as_language);
    const auto actual = say("Haus", c.language, c.voice);
    ASSERT_TRUE(expected && actual);
    EXPECT_EQ(*actual, *expected);
  }
}

TEST_F(SpeechPlugin, NoTextSpeaksNothing) {
  const fs::path wav = folder_ / "nothing.wav";
  ::setenv("LEXVIA_SPEECH_LANGUAGE", "en", 1);
  ::setenv("LEXVIA_SPEECH_WAV", wav.c_str(), 1);
  const Plugin plugin;
  const Speak speak = plugin.speak();
  ASSERT_NE(speak, nullptr) << ::dlerror();
  for (const char* text : {static_cast<const char*>(nullptr), ""}) {
    EXPECT_EQ(speak(text), 0);
    EXPECT_FALSE(fs::exists(wav));
  }
}

// Also the run the sanitizer build watches for leaks. Every round must
// really unload the library: one that stays loaded keeps espeak-ng running,
// and its memory, from one call into the next.
TEST_F(SpeechPlugin, LoadsCallsAndUnloadsAHundredTimes) {
  std::optional<std::vector<std::int16_t>> first;
  for (int round = 1; round <= 100; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const auto samples = say("house", "en");
    ASSERT_TRUE(samples);
    ASSERT_FALSE(plugin_is_loaded());
    if (!first) first = samples;
    ASSERT_EQ(*samples, *first);
  }
}

// ALSA's null device, reached through a configuration function: looking
// the function up makes ALSA dlopen itself, as its default configuration
// does on a machine without a sound card.
constexpr char kNullSoundDevice[] = R"(pcm.!default {
  type {
    @func getenv
    vars [ LEXVIA_SPEECH_TEST_NO_SUCH_VARIABLE ]
    default "null"
  }
}
)";

class SpeechPluginPlaying : public SpeechPlugin {
 protected:
  // Runs `body` in a child process that plays to the null device, so that
  // a hang fails the test instead of stopping it; the child's exit status
  // is `body`'s result.
  void expect_child_succeeds(const std::function<int()>& body) {
    const fs::path config = folder_ / "asound.conf";
    std::ofstream(config) << kNullSoundDevice;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
      // No sound server either, so that the null device is the one opened.
      ::setenv("PULSE_SERVER", (folder_ / "no-server").c_str(), 1);
      ::_exit(body());
    }
    int status = 0;
    pid_t done = 0;
    for (int waited_ms = 0; done == 0 && waited_ms < 30000; waited_ms += 20) {
      done = ::waitpid(child, &status, WNOHANG);
      if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (done == 0) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      FAIL() << "the child hung";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
};

// Played speech is heard, not checked; what matters is that the call and
// the unload after it come back.
TEST_F(SpeechPluginPlaying, ComesBackAndUnloads) {
  expect_child_succeeds([] {
    ::setenv("LEXVIA_SPEECH_LANGUAGE", "en", 1);
    const Plugin plugin;
    const Speak speak = plugin.speak();
    return speak != nullptr ? speak("house") : 100;
  });
}

// Within one load the output changes without starting espeak-ng again.
TEST_F(SpeechPluginPlaying, FollowsRecordingInTheSameLoad) {
  const fs::path first = folder_ / "first.wav";
  const fs::path second = folder_ / "second.wav";
  expect_child_succeeds([&] {
    ::setenv("LEXVIA_SPEECH_LANGUAGE", "en", 1);
    const Plugin plugin;
    const Speak speak = plugin.speak();
    if (speak == nullptr) return 100;
    ::setenv("LEXVIA_SPEECH_WAV", first.c_str(), 1);
    if (speak("house") != 0) return 1;
    ::setenv("LEXVIA_SPEECH_WAV", second.c_str(), 1);
    if (speak("Haus") != 0) return 2;
    ::unsetenv("LEXVIA_SPEECH_WAV");
    return speak("house") != 0 ? 3 : 0;
  });
  for (const fs::path& wav : {first, second}) {
    std::vector<std::int16_t> samples;
    EXPECT_EQ(check_wav(wav, samples), "") << wav;
  }
}

TEST_F(SpeechPlugin, RefusesAPathItCannotWrite) {
  const fs::path directory = folder_ / "directory.wav";
  fs::create_directory(directory);
  std::ofstream(directory / "kept") << "kept";
  for (const fs::path& target : {directory, folder_ / "missing" / "speech.wav"}) {
    SCOPED_TRACE(target);
    ::setenv("LEXVIA_SPEECH_LANGUAGE", "en", 1);
    ::setenv("LEXVIA_SPEECH_WAV", target.c_str(), 1);
    const Plugin plugin;
    const Speak speak = plugin.speak();
    ASSERT_NE(speak, nullptr) << ::dlerror();
    EXPECT_NE(speak("house"), 0);
  }
  // Nothing was written: not into the directory, not beside it.
  EXPECT_TRUE(fs::is_directory(directory));
  EXPECT_EQ(std::distance(fs::directory_iterator(directory), fs::directory_iterator()), 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

// glibc's converter is the reference for the 251 bytes Windows-1252
// defines; it rejects the other five, which stand for their C1 controls.
TEST(Windows1252, EveryByteBecomesItsCodePointInUtf8) {
  iconv_t cd = ::iconv_open("UTF-8", "WINDOWS-1252");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  const std::string undefined = "\x81\x8D\x8F\x90\x9D";
  for (int value = 1; value < 256; ++value) {
    SCOPED_TRACE(value);
    char in = static_cast<char>(value);
    std::string expected;
    if (undefined.find(in) != std::string::npos) {
      expected = {'\xC2', in};
    } else {
      char out[8];
      char* in_at = &in;
      char* out_at = out;
      std::size_t in_left = 1;
      std::size_t out_left = sizeof out;
      ASSERT_NE(::iconv(cd, &in_at, &in_left, &out_at, &out_left), static_cast<std::size_t>(-1));
      expected.assign(out, out_at);
    }
    EXPECT_EQ(lexvia::speech::utf8_from_cp1252(std::string(1, in)), expected);
  }
  ::iconv_close(cd);
  EXPECT_EQ(lexvia::speech::utf8_from_cp1252("Gr\xFC\xDF\x65 \x80"), "Gr\u00FC\u00DFe \u20AC");
}

}  // namespace
