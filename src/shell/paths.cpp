#include "shell/paths.h"

#include <unistd.h>

#include <cstdlib>

#include "settings/language_modules.h"

namespace lexvia {

std::string executable_path() {
  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  return n > 0 ? std::string(exe, static_cast<std::size_t>(n)) : std::string();
}

std::string executable_folder() {
  const std::string path = executable_path();
  return path.substr(0, path.find_last_of('/') + 1);
}

std::string bundled_speech_library(const std::string& installed_folder) {
  const std::string dir = executable_folder();
  for (const std::string& folder : {std::string("../lib/"), "../" + installed_folder + "/"}) {
    const std::string path = dir + folder + "liblexvia-speech-espeak.so";
    if (::access(path.c_str(), R_OK) == 0) return path;
  }
  return {};
}

std::string bundled_dictionary_folder() {
  const std::string dir = executable_folder();
  for (const char* folder : {"../data/", "../share/lexvia/"}) {
    if (::access((dir + folder).c_str(), X_OK) == 0) return dir + folder;
  }
  return dir + "../data/";
}

std::string bundled_dictionary() {
  const std::string dir = executable_folder();
  // The FreeDict English-German dictionary comes first; the sample stands in
  // when it was not built.
  for (const char* name : {"en-de.dic", "en-de-sample.dic"}) {
    for (const char* folder : {"../data/", "../share/lexvia/"}) {
      const std::string path = dir + folder + name;
      if (::access(path.c_str(), R_OK) == 0) return path;
    }
  }
  return dir + "../data/en-de-sample.dic";
}

std::string data_folder(const std::string& source_resources) {
  return find_data_folder(std::getenv("LEXVIA_DATA_DIR"),
                          {executable_folder() + "../share/lexvia", source_resources});
}

}  // namespace lexvia
