#include "flutter_glue/diagnostics.h"

#include <iostream>

namespace flutter {

void WriteDiagnosticLine(std::string_view line) { std::cerr << line << std::endl; }

}  // namespace flutter
