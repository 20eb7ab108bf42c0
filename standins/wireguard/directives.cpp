#include "standins/wireguard/directives.h"

#include <charconv>
#include <optional>

#include "common/executable_path.h"
#include "common/file_bytes.h"
#include "standins/wireguard/output.h"

namespace wireguard_standin {

namespace {

std::string_view Trim(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string_view::npos) {
    return {};
  }
  const std::size_t end = text.find_last_not_of(" \t\r");
  return text.substr(begin, end - begin + 1);
}

template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    visit(Trim(text.substr(0, end)));
    if (end == std::string_view::npos) {
      break;
    }
    text.remove_prefix(end + 1);
  }
}

DWORD ToNumber(std::string_view text) {
  DWORD value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

void Apply(std::string_view key, std::string_view value, StandInDirectives& directives) {
  if (key == "install-exit") {
    directives.install_exit = ToNumber(value);
  } else if (key == "install-output") {
    directives.install_output.emplace_back(value);
  } else if (key == "install-error") {
    directives.install_error.emplace_back(value);
  } else if (key == "install-output-lines") {
    directives.install_output_lines = ToNumber(value);
  } else if (key == "start-delay-ms") {
    directives.start_delay_ms = ToNumber(value);
  } else if (key == "uninstall-action") {
    directives.uninstall_action = value == "keep"          ? UninstallAction::kKeep
                                  : value == "delete-only" ? UninstallAction::kDeleteOnly
                                                           : UninstallAction::kRemove;
  } else if (key == "uninstall-exit") {
    directives.uninstall_exit = ToNumber(value);
  } else if (key == "uninstall-output") {
    directives.uninstall_output.emplace_back(value);
  }
}

StandInDirectives ParseDirectives(std::string_view text) {
  StandInDirectives directives;
  ForEachLine(text, [&](std::string_view line) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      return;
    }
    Apply(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), directives);
  });
  return directives;
}

}  // namespace

StandInDirectives ReadDirectives() {
  const std::optional<std::string> text =
      common::ReadWholeFile(common::ExecutableFolder() + L"\\" + kDirectivesFileName);
  return text ? ParseDirectives(*text) : StandInDirectives{};
}

bool HasInterfaceSection(std::string_view config) {
  bool found = false;
  ForEachLine(config, [&](std::string_view line) { found = found || line == "[Interface]"; });
  return found;
}

}  // namespace wireguard_standin
