// Random choices for the demo laboratory that give the same laboratory for the same seed on
// every platform: std::mt19937's output is fixed by the standard, but the std distributions
// are not (each standard library maps the engine's numbers differently), so the mappings are
// done here.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace demo {

class DemoRandom {
 public:
  explicit DemoRandom(uint32_t seed) : engine_(seed) {}

  uint32_t Next() { return static_cast<uint32_t>(engine_()); }
  // Uniform in [low, high], both included; low <= high.
  int Uniform(int low, int high);
  // Uniform in [0, 1), 53 bits.
  double Unit();
  // Uniform in [low, high).
  double Real(double low, double high) { return low + (high - low) * Unit(); }
  // True with probability `p`.
  bool Chance(double p) { return Unit() < p; }
  // An index into `weights` drawn in proportion to them (all >= 0, sum > 0).
  size_t Weighted(const std::vector<double>& weights);
  // Reorders `items` uniformly (Fisher-Yates with our own draws).
  template <typename T>
  void Shuffle(std::vector<T>& items) {
    for (size_t i = items.size(); i > 1; --i) {
      const size_t j = static_cast<size_t>(Uniform(0, static_cast<int>(i) - 1));
      std::swap(items[i - 1], items[j]);
    }
  }

 private:
  std::mt19937 engine_;
};

}  // namespace demo
