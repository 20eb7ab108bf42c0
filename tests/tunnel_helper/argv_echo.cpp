// Test helper: prints the argument vector the C runtime built from its command line, one argument
// per line after the program name, each as the hexadecimal values of its UTF-16 units (so that
// blanks, quotes, line feeds and any other character come through unambiguously).

#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  for (int index = 1; index < argc; ++index) {
    std::printf("[");
    for (const wchar_t* unit = argv[index]; *unit != L'\0'; ++unit) {
      std::printf("%04x", static_cast<unsigned>(*unit));
    }
    std::printf("]\n");
  }
  return argc - 1;
}
