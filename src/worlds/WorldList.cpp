#include "worlds/WorldList.h"

WorldData& WorldList::Add(const QString& DisplayName, const QString& DirLabel,
                          const QString& sKey) {
    if (!sKey.isEmpty() && indexOfKey(sKey) >= 0)
        throw WorldListError(QStringLiteral("This key is already associated with an element "
                                            "of this collection: %1")
                                 .arg(sKey));
    auto world = std::make_shared<WorldData>();
    world->SetDisplayName(DisplayName);
    world->SetDirLabel(DirLabel);
    m_entries.push_back(world);
    m_keys.push_back(sKey);
    return *world;
}

void WorldList::checkPosition(int position) const {
    if (position < 1 || position > Count())
        throw WorldListError(QStringLiteral("Invalid procedure call or argument: position %1 of %2")
                                 .arg(position)
                                 .arg(Count()));
}

int WorldList::indexOfKey(const QString& key) const {
    for (size_t i = 0; i < m_keys.size(); ++i) {
        if (!key.isEmpty() && m_keys[i] == key)
            return static_cast<int>(i);
    }
    return -1;
}

WorldData& WorldList::Item(int position) {
    checkPosition(position);
    return *m_entries[static_cast<size_t>(position - 1)];
}

const WorldData& WorldList::Item(int position) const {
    checkPosition(position);
    return *m_entries[static_cast<size_t>(position - 1)];
}

WorldData& WorldList::Item(const QString& key) {
    const int i = indexOfKey(key);
    if (i < 0)
        throw WorldListError(QStringLiteral("Invalid procedure call or argument: key %1").arg(key));
    return *m_entries[static_cast<size_t>(i)];
}

void WorldList::Remove(int position) {
    checkPosition(position);
    m_entries.erase(m_entries.begin() + (position - 1));
    m_keys.erase(m_keys.begin() + (position - 1));
}

void WorldList::Remove(const QString& key) {
    const int i = indexOfKey(key);
    if (i < 0)
        throw WorldListError(QStringLiteral("Invalid procedure call or argument: key %1").arg(key));
    m_entries.erase(m_entries.begin() + i);
    m_keys.erase(m_keys.begin() + i);
}
