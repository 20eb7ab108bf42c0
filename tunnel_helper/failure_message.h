// The message of a WireGuard failure: a sentence, then two line feeds and the detail (WireGuard's
// output or the wait's reason). WireGuard's output has no size limit, but the app refuses responses
// over kMaxHelperResponseBytes and would then show no reason at all, so a long detail is shortened
// to fit.
#pragma once

#include <string>
#include <string_view>

namespace tunnel_helper {

// Ends a detail that had to be shortened.
inline constexpr char kDetailShortenedLine[] = "\n(The rest of WireGuard's output was left out.)";

// The sentence alone when `detail` is empty. Otherwise the sentence, "\n\n" and the detail; when
// the encoded failure response would exceed kMaxHelperResponseBytes, only the detail's beginning
// (cut at a UTF-8 character boundary) is kept, followed by kDetailShortenedLine, so that it fits.
std::string FailureWithDetail(std::string_view sentence, std::string_view detail);

}  // namespace tunnel_helper
