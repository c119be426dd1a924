#include "base/conversion_request.hpp"

#include <cstdint>
#include <numeric>

namespace conv {

std::optional<AVRational> exactDecimal(const std::string& decimal)
{
    // Taken exactly: 14.985 becomes 2997/200, not a float approximation.
    const auto point = decimal.find('.');
    std::string digits = decimal;
    std::int64_t denominator = 1;
    if (point != std::string::npos) {
        digits.erase(point, 1);
        for (std::size_t i = point + 1; i < decimal.size(); ++i)
            denominator *= 10;
    }
    while (digits.size() > 1 && digits.front() == '0')
        digits.erase(0, 1);
    if (digits.size() > 9 || denominator > 1000000)
        return std::nullopt;
    std::int64_t numerator = std::stoll(digits);
    const std::int64_t common = std::gcd(numerator, denominator);
    return AVRational{static_cast<int>(numerator / common), static_cast<int>(denominator / common)};
}

}  // namespace conv
