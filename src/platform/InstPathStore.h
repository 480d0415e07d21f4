#pragma once

#include <QString>

// Where sibling programs record their install path: the per-user settings store
// of the maker, application "Fernhollow", section t, key "InstPath".
class InstPathStore {
public:
    virtual ~InstPathStore() = default;
    virtual QString instPath(const QString& section) const;
};
