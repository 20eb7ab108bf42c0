#include "flutter_glue/encodable_value.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace flutter {
namespace {

template <typename Float>
std::weak_ordering CompareFloat(Float a, Float b) {
  const bool a_nan = std::isnan(a);
  const bool b_nan = std::isnan(b);
  if (a_nan || b_nan) return a_nan <=> b_nan;
  if (a < b) return std::weak_ordering::less;
  if (b < a) return std::weak_ordering::greater;
  return std::weak_ordering::equivalent;
}

template <typename Element, typename Compare>
std::weak_ordering CompareSequences(const std::vector<Element>& a, const std::vector<Element>& b,
                                    Compare compare) {
  return std::lexicographical_compare_three_way(a.begin(), a.end(), b.begin(), b.end(), compare);
}

std::weak_ordering CompareMaps(const EncodableMap& a, const EncodableMap& b) {
  return std::lexicographical_compare_three_way(
      a.begin(), a.end(), b.begin(), b.end(),
      [](const EncodableMap::value_type& x, const EncodableMap::value_type& y) {
        const std::weak_ordering keys = x.first <=> y.first;
        return keys != 0 ? keys : x.second <=> y.second;
      });
}

}  // namespace

std::weak_ordering operator<=>(const EncodableValue& a, const EncodableValue& b) {
  if (a.index() != b.index()) return a.index() <=> b.index();
  return std::visit(
      [&b](const auto& left) -> std::weak_ordering {
        using Alternative = std::decay_t<decltype(left)>;
        const auto& right = std::get<Alternative>(b);
        if constexpr (std::is_same_v<Alternative, std::monostate>) {
          return std::weak_ordering::equivalent;
        } else if constexpr (std::is_same_v<Alternative, double>) {
          return CompareFloat(left, right);
        } else if constexpr (std::is_same_v<Alternative, std::vector<double>> ||
                             std::is_same_v<Alternative, std::vector<float>>) {
          return CompareSequences(left, right, [](auto x, auto y) { return CompareFloat(x, y); });
        } else if constexpr (std::is_same_v<Alternative, EncodableList>) {
          return CompareSequences(
              left, right,
              [](const EncodableValue& x, const EncodableValue& y) { return x <=> y; });
        } else if constexpr (std::is_same_v<Alternative, EncodableMap>) {
          return CompareMaps(left, right);
        } else if constexpr (std::is_same_v<Alternative, CustomEncodableValue>) {
          return std::compare_three_way{}(&left, &right);
        } else {
          return left <=> right;
        }
      },
      static_cast<const EncodableValueVariant&>(a));
}

}  // namespace flutter
