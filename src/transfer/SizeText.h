#pragma once
// Byte counts as the transfer dialog shows them: "512 B ", "1.5 kB ", "3 mB ".

#include <QString>
#include <cstdint>

namespace kova {

// Whole units and one truncated decimal, the decimal left out when it is 0;
// always followed by one space.
QString SizeText(std::uint32_t bytes);

// b * 100 / t, and 100 when b = t (also for an empty file).
int progressPercent(std::int64_t done, std::int64_t total);

}  // namespace kova
