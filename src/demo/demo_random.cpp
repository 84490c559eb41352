#include "demo/demo_random.h"

namespace demo {

int DemoRandom::Uniform(int low, int high) {
  const uint64_t span = static_cast<uint64_t>(static_cast<int64_t>(high) - low) + 1;
  if (span > 0xFFFFFFFFull) return static_cast<int>(low + static_cast<int64_t>(Next()));
  // Rejection keeps every value equally likely: draws past the last whole multiple of the
  // span are thrown away.
  const uint64_t limit = (0x100000000ull / span) * span;
  uint64_t draw;
  do {
    draw = Next();
  } while (draw >= limit);
  return static_cast<int>(low + static_cast<int64_t>(draw % span));
}

double DemoRandom::Unit() {
  const uint64_t high = Next() >> 5;  // 27 bits
  const uint64_t low = Next() >> 6;   // 26 bits
  return static_cast<double>((high << 26) | low) * (1.0 / 9007199254740992.0);
}

size_t DemoRandom::Weighted(const std::vector<double>& weights) {
  double total = 0;
  for (double w : weights) total += w;
  double point = Unit() * total;
  for (size_t i = 0; i < weights.size(); ++i) {
    if (point < weights[i]) return i;
    point -= weights[i];
  }
  return weights.size() - 1;  // rounding at the very end
}

}  // namespace demo
