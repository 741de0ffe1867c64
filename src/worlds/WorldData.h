#pragma once

#include <QString>

// One world of the catalogue: the name shown in the lists and the label that the
// world's folders and description file carry ("" for the default world).
class WorldData {
public:
    void SetDirLabel(const QString& value) { m_dirLabel = value; }
    QString DirLabel() const { return m_dirLabel; }
    void SetDisplayName(const QString& value) { m_displayName = value; }
    QString DisplayName() const { return m_displayName; }

private:
    QString m_dirLabel;
    QString m_displayName;
};
