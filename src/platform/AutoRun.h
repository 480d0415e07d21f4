#pragma once

#include <QString>

// Start with the desktop session.
class AutoRunStore {
public:
    virtual ~AutoRunStore() = default;
    virtual bool IsAutoRunSet() const = 0;
    // True when the change was stored.
    virtual bool SetAutoRun() = 0;
    virtual bool RemoveAutoRun() = 0;
};
