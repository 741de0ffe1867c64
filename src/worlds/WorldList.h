#pragma once

#include "platform/LauncherError.h"
#include "worlds/WorldData.h"

#include <QHash>
#include <QString>
#include <memory>
#include <vector>

// The ordered world catalogue, counted from 1. An entry may also be filed under a
// text key. Errors of the call (a position out of range, an unknown or duplicate
// key) raise WorldListError.
class WorldListError : public LauncherError {
public:
    using LauncherError::LauncherError;
};

class WorldList {
public:
    using Entries = std::vector<std::shared_ptr<WorldData>>;

    WorldData& Add(const QString& DisplayName, const QString& DirLabel,
                   const QString& sKey = QString());
    WorldData& Item(int position); // 1 .. Count()
    WorldData& Item(const QString& key);
    const WorldData& Item(int position) const;
    qint32 Count() const { return static_cast<qint32>(m_entries.size()); }
    void Remove(int position);
    void Remove(const QString& key);

    // NewEnum: a range-for walks the catalogue from position 1 to the last.
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = WorldData;
        using difference_type = std::ptrdiff_t;
        using pointer = const WorldData*;
        using reference = const WorldData&;
        explicit const_iterator(Entries::const_iterator it) : m_it(it) {}
        const WorldData& operator*() const { return **m_it; }
        const WorldData* operator->() const { return m_it->get(); }
        const_iterator& operator++() {
            ++m_it;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return m_it == other.m_it; }
        bool operator!=(const const_iterator& other) const { return m_it != other.m_it; }

    private:
        Entries::const_iterator m_it;
    };
    const_iterator begin() const { return const_iterator(m_entries.begin()); }
    const_iterator end() const { return const_iterator(m_entries.end()); }

private:
    int indexOfKey(const QString& key) const;
    void checkPosition(int position) const;

    Entries m_entries;
    std::vector<QString> m_keys; // parallel to m_entries; "" when not filed under a key
};
