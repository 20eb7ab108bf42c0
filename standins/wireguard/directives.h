// How a test tells the stand-in to misbehave: lines of the file "standin-directives.txt" beside
// the program (never the tunnel's config, which any user of the machine may send),
//
//   <key> = <value>
//
// Keys:
//   install-exit         exit code of "/installtunnelservice"; not 0: exit after the output
//                        below without installing anything
//   install-output       a line the install run prints on standard output (repeatable)
//   install-error        a line the install run prints on standard error (repeatable)
//   install-output-lines the install run also prints "line 1" ... "line <n>", one per line
//   start-delay-ms       the tunnel service stays START_PENDING this long before RUNNING
//   uninstall-action     "remove" (the default: stop and delete the service), "keep" (touch
//                        nothing) or "delete-only" (mark the service for deletion, leave it
//                        running)
//   uninstall-exit       exit code of "/uninstalltunnelservice" after its action (default 0)
//   uninstall-output     a line the uninstall run prints on standard output (repeatable)
// Every printed line ends with a carriage return and a line feed. Unknown keys are ignored.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace wireguard_standin {

enum class UninstallAction { kRemove, kKeep, kDeleteOnly };

struct StandInDirectives {
  DWORD install_exit = 0;
  std::vector<std::string> install_output;
  std::vector<std::string> install_error;
  DWORD install_output_lines = 0;
  DWORD start_delay_ms = 0;
  UninstallAction uninstall_action = UninstallAction::kRemove;
  DWORD uninstall_exit = 0;
  std::vector<std::string> uninstall_output;
};

inline constexpr wchar_t kDirectivesFileName[] = L"standin-directives.txt";

// The directives of the file beside the program; the defaults when there is none.
StandInDirectives ReadDirectives();

// Whether the config has a line "[Interface]" (blanks around it allowed), as every tunnel config
// must.
[[nodiscard]] bool HasInterfaceSection(std::string_view config);

}  // namespace wireguard_standin
