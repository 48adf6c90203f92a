// Writes the directory and map sections of a city held in memory, the exact inverse of their decoders:
// loading what these write gives back every stored field.
#pragma once

#include <QByteArray>

struct CityDb;
class CityWriter;

// Addresses' `id` must hold building positions, as stored (before ResolveOrgAddresses).
// Throws std::invalid_argument or std::length_error for content the format cannot hold.
QByteArray WriteDirectoryRecords(const CityDb& db);
QByteArray WriteMapRecords(const CityDb& db);

// Sets the writer's directory and map sections, rubric section and representative from `db`.
void SetCitySections(CityWriter& w, const CityDb& db);
