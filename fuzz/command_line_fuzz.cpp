// Feeds arbitrary UTF-16 text, as a browser or another program may start the app with, to the
// splitting of its command line: whatever it gives back, quoted again as the service quotes
// arguments for the programs it starts, must split into the same arguments.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "tunnel_helper/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring line;
  for (std::size_t at = 0; at + 1 < size; at += 2) {
    line += static_cast<wchar_t>(data[at] | (data[at + 1] << 8));
  }
  const std::vector<std::wstring> arguments = app::CommandLineArguments(line);
  if (app::CommandLineArguments(tunnel_helper::BuildCommandLine(L"zeq_vpn.exe", arguments)) !=
      arguments) {
    __builtin_trap();
  }
  return 0;
}
