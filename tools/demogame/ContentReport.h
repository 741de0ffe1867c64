#pragma once

#include <QList>
#include <QString>

// What the demo game finds in its working directory: for each of the eleven content
// folders, the world whose version lies there (the first word of its marker.txt).
struct ContentEntry {
    QString folder; // "Data/Graphics/Items"
    QString world;  // "Frostmarch", or "" when the folder or its marker is missing
};

struct ContentReport {
    QList<ContentEntry> entries;

    static ContentReport read(const QString& gameDir);
    // "Valmora: 8 folders, Frostmarch: 3 folders", in order of first appearance.
    QString summary() const;
    // One line per folder, "Roster: Frostmarch" or "Roster: missing".
    QStringList lines() const;
};
