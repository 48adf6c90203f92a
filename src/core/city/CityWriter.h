// Writes city files and photo files: the exact inverse of the section loaders.
#pragma once

#include "CityDb.h"
#include "CityHeader.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

class CityWriter {
public:
    QString CityName;
    QString ReleaseDate; // "dd.MM.yyyy"
    std::int32_t dfv = CurrentDataFormat;

    // Start section.
    QString AgentName, AgentEmail, AgentPhone;
    // Organisations of the start window: their id, startBanner and page are written.
    std::vector<TOrg> StartOrgs;
    // When unset, the ids of StartOrgs joined by ";" (format versions above 15).
    std::optional<QString> IdList;

    // Plain bytes of the directory and map sections, as their record writers produce them.
    QByteArray DirectorySection;
    QByteArray MapSection;

    // Rubric section.
    QStringList RubricNames;
    QString RubricTree;

    // Appends a picture or page to the resource area and returns its reference.
    TResource AddResource(const QByteArray& bytes);
    TImg AddImage(const QByteArray& bytes);
    TPg AddPage(const QString& name, const QByteArray& bytes);
    const QByteArray& Resources() const { return resources_; }

    // Photo file: its date (days since 30 December 1899) and the photos in stored order.
    std::int32_t FotoDay = 36526; // 01.01.2000
    std::vector<std::pair<std::int32_t, QByteArray>> Photos; // building id, JPEG bytes

    // The whole city file; throws std::invalid_argument or std::length_error for content the format cannot hold.
    QByteArray Build() const;
    QByteArray BuildPhotoFile() const;

    // Write under a temporary name and rename, so a failed write never leaves half a file.
    // Returns an empty text on success, else what went wrong.
    QString Write(const QString& path) const;
    QString WritePhotoFile(const QString& path) const;

private:
    QByteArray resources_;
};

// Writes bytes to a file through a temporary name; empty text on success, else the error.
QString WriteFileAtomically(const QString& path, const QByteArray& bytes);
