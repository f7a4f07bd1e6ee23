// Where the programs find what ships with them. Both executables sit one
// folder below their prefix: build/<preset>/cli/ and build/<preset>/bin/ in
// the build tree, bin/ once installed.
#pragma once

#include <string>

namespace lexvia {

// The running executable's full path, and its folder with a trailing slash.
std::string executable_path();
std::string executable_folder();

// The bundled speech plug-in: lib/ in the build tree, the installed library
// folder's lexvia/ (`installed_folder`, relative to the prefix) once
// installed; empty when neither holds it.
std::string bundled_speech_library(const std::string& installed_folder);

// The folder of the bundled dictionaries: data/ in the build tree,
// share/lexvia/ once installed.
std::string bundled_dictionary_folder();

// The bundled English-German dictionary, or the small sample when that was
// not built.
std::string bundled_dictionary();

// Modules and help: $LEXVIA_DATA_DIR, the installed share/lexvia/, or the
// source tree's resources/ (given) when run from the build tree.
std::string data_folder(const std::string& source_resources);

}  // namespace lexvia
