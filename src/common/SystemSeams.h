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

// True for http and https addresses only: the one rule for every address that
// reaches the browser or a network fetch.
bool isWebAddress(const QString& address);
