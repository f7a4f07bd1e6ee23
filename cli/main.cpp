#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
  CLI::App app{"lexvia-cli: two-way bilingual dictionary tool"};
  CLI11_PARSE(app, argc, argv);
  return 0;
}
