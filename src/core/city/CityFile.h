// Section loaders of a city file: the start, directory, map and rubric sections, pictures and photos.
#pragma once

#include "CityDb.h"
#include "Descramble.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

struct TCity;
struct MapStyle;

// Where a city's file lies and where its sections start and end (copied from its catalogue entry).
struct CityFileRef {
    QString path; // folder with a trailing separator
    QString FileName;
    QString EngName;
    std::int32_t dfv = 0;
    std::int32_t offset0 = 0, offset1 = 0, offset2 = 0, offset3 = 0;
    QString FotoFile; // see TCity::FotoFile

    static CityFileRef From(const TCity& city);
    QString FilePath() const { return path + FileName; }
    QString FotoPath() const { return FotoFile.isEmpty() ? path + EngName + ".img" : FotoFile; }
};

enum class CitySection { Start, Directory, Map, Rubric };

// Bar tags the loaders give the descrambler: steps while the section is descrambled.
constexpr int DirectoryDescrambleSteps = 15;
constexpr int MapDescrambleSteps = 20;

using ProgressStep = std::function<void()>;

// The descrambled bytes of one section; CityFileError when its offsets run backwards or past the file.
QByteArray ReadSection(const CityFileRef& city, CitySection section, const DescrambleProgress* progress = nullptr);

void ReleaseOrgResources(CityDb& db);
// Hands the memory of the first `n` decoded bytes of a section buffer back (Linux); the bytes are not read again.
void ReleaseDecodedBytes(QByteArray& data, std::int64_t n);
void LoadStartSection(CityDb& db, const CityFileRef& city);
void LoadDirectorySection(CityDb& db, const CityFileRef& city, const ProgressStep& step = {});
// Objects take their colours from `style` (the active scheme) and measure labels with it.
void LoadMapSection(CityDb& db, const CityFileRef& city, const MapStyle& style, const ProgressStep& step = {});
// With the default scheme and labels measured 0 wide (tools that draw nothing).
void LoadMapSection(CityDb& db, const CityFileRef& city, const ProgressStep& step = {});
void LoadRubricSection(CityDb& db, const CityFileRef& city);

// Photo file beside the city file; a missing file gives no photos.
void LoadPhotoIndex(CityDb& db, const CityFileRef& city);
int FindFoto(const CityDb& db, std::int32_t buildId);
QByteArray ReadFotoBytes(const CityFileRef& city, const TFoto& foto);

// The bytes of a picture or page in the resource area; empty for an unset reference.
QByteArray ReadResource(const CityFileRef& city, const TResource& resource);

// Decoders of descrambled sections.
class ByteReader;
void DecodeStartSection(ByteReader& r, CityDb& db, std::int32_t dfv);
void DecodeRubricSection(ByteReader& r, CityDb& db);
// References into the section's tables that lie outside them are dropped and listed in `LoadWarnings`
// (which this starts afresh). Address building positions are checked against `buildings`, the map
// section's building count, when it is known (not -1); otherwise when the addresses are resolved.
void DecodeDirectoryRecords(ByteReader& r, CityDb& db, const ProgressStep& step, std::int64_t buildings = -1);
// The building count the map section states up front, or -1 when it cannot be read.
std::int64_t PeekBuildingCount(const CityFileRef& city);
// `consumed` (when given) learns now and then how many leading bytes of the section are decoded
// and no longer needed, so that the caller can hand their memory back early.
using ConsumedBytes = std::function<void(std::int64_t)>;
void DecodeMapRecords(ByteReader& r, CityDb& db, const MapStyle& style, const ProgressStep& step,
                      const ConsumedBytes& consumed = {});
