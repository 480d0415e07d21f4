#include "SystemSeams.h"

#include <chrono>

SystemRandom::SystemRandom() {
    reseed();
}

void SystemRandom::reseed() {
    m_engine.seed(
        static_cast<std::mt19937::result_type>(std::chrono::high_resolution_clock::now().time_since_epoch().count()));
}

float SystemRandom::next() {
    std::uniform_real_distribution<float> dist(0.0f, 1.0f);
    float r = dist(m_engine);
    return r >= 1.0f ? 0.0f : r; // the distribution may round up to 1 in single precision
}
