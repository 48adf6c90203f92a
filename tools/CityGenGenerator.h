// The synthetic city generator's working state, shared by its map half (CityGenMap.cpp: grid,
// streets, blocks, buildings, roads, transport, labels) and its directory half (CityGenDirectory.cpp:
// tables, pictures, organisations, rubrics, start section, photos).
#pragma once

#include "CityGenerator.h"
#include "CityGenWords.h"

#include "CityDb.h"
#include "CityWriter.h"
#include "DirectoryRecords.h"
#include "MapRecords.h"

#include <QRandomGenerator>
#include <array>
#include <map>
#include <vector>

namespace citygen {

class Generator {
public:
    Generator(const CityGenOptions& o, CityDb& db, CityWriter& w) : o_(o), db_(db), w_(w), rng_(o.seed) {}

    void run();

private:
    int rand(int n) { return n <= 1 ? 0 : int(rng_.bounded(quint32(n))); }
    bool chance(double p) { return rng_.generateDouble() < p; }
    Tas set(const QString& ru, const QString& en) { return {ru, en}; }
    Tas same(const QString& s) { return {s, s}; }
    Tas empty() { return {QString(), QString()}; }

    // Grid: B x B blocks of Pitch metres with streets on the grid lines.
    static constexpr float Pitch = 160;
    static constexpr float Road = 10; // half the street width
    static constexpr int PerBlock = 16;

    void layout();

    float gx(int i) const { return i * Pitch - B_ * Pitch / 2; }
    float gy(int j) const { return j * Pitch - B_ * Pitch / 2; }

    // Street on horizontal line j (0..B) covering column i, or vertical line i covering row j.
    int hStreet(int j, int i) const { return j * perLine_ + i / span_; }
    int vStreet(int i, int j) const { return (B_ + 1) * perLine_ + i * perLine_ + j / span_; }
    bool avenue(int line) const { return line % 5 == 0; }

    void streets();
    Tas streetName(int k, bool wide);

    int district(float x, float y) const;

    QString nextNumber(int street, bool odd);
    void blocks();
    void block(int i, int j);
    void openBlock(std::uint8_t typ, int fieldPos, float x0, float y0, float x1, float y1);
    void building(float x0, float y0, float x1, float y1, int street, bool odd);
    void buildIndex();
    void road(float x0, float y0, float x1, float y1, TRoadType tip, float width, std::uint8_t layer);
    void roads();
    int stop(float x, float y, TBusStopType tip, const Tas& caption);

    // Both directions, one after the other, with the same number; the way back through `back` (the
    // stops across the street) when given.
    void route(const Tas& num, TTranspType tip, const std::vector<int>& stops, TCoord turn, TColor metro = 0,
               const std::vector<int>* back = nullptr);

    // The lines of a connected network along every avenue: a stop at every second crossing and at every
    // crossing of two avenues (named for the square there, so the lines of both avenues share it), on
    // both sides of the street; a local line per stretch of twelve stops and, on every thirtieth
    // avenue, an express line from one edge of the city to the other.
    void busNetwork();
    void transport();
    void text(const Tas& t, float x, float y, int size, int angle, TColor color, std::uint8_t layer);
    void labels();
    void tables();

    // ------------------------------------------------------------------------------------------
    // Directory

    TImg picture(int w, int h, const QString& text, int hue);
    QString rawPhone(std::uint8_t& code, int form);
    TPhone phone(int form);
    static TSchedule week(std::initializer_list<std::array<int, 8>> days);
    void directory();
    TOrg org(int i, int cat);
    TAdr address(int i, int a, int cat);
    void rubrics();
    void startSection();
    void photos();

    const CityGenOptions& o_;
    CityDb& db_;
    CityWriter& w_;
    QRandomGenerator rng_;
    int B_ = 0, span_ = 1, perLine_ = 1, D_ = 2;
    int riverLine_ = 1, railLine_ = 1;
    std::vector<int> numbers_;
    int pictures_ = 0;
    int parks_ = 0;
    std::array<int, 256> serial_{};
    std::map<QString, TImg> pictureRefs_;
};

} // namespace citygen
