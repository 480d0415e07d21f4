#pragma once

#include <QString>

// Is the machine online? Must never block.
class ConnectionProbe {
public:
    virtual ~ConnectionProbe() = default;
    // name receives the connection's name (the interface) when connected.
    virtual bool isConnected(QString* name = nullptr) = 0;
};
