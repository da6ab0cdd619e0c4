// The n-th smallest of many non-negative numbers without reordering them: a radix selection on
// their bit patterns, which for non-negative doubles order as the numbers do. Sixteen bits a
// level: one pass over all values counts their leading bits, and only the values that share
// the leading bits of the answer are read again. Negative, -0.0 and NaN values are left to
// std::nth_element on a copy; the answer is the same number either way.
#pragma once

#include <cstddef>
#include <vector>

// The value that std::nth_element would place at `n` (n < values.size()).
double nthSmallest(const std::vector<double>& values, size_t n);
