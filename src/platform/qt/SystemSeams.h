#pragma once

#include "Seams.h"

#include <random>

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class SystemRandom : public RandomSource {
public:
    SystemRandom();
    void reseed() override;
    float next() override;

private:
    std::mt19937 m_engine;
};
