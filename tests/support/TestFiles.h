// Small helpers for tests that write files: a scratch folder and raw file edits.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

// A scratch folder whose path ends in a separator, as the catalogue's folders do.
struct ScratchDir {
    QTemporaryDir dir;
    QString path() const { return dir.path() + "/"; }
    QString file(const QString& name) const { return path() + name; }
};
