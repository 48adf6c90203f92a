// A city for the real-estate offers: two streets, buildings (one id twice), materials and two agencies,
// in two data languages.
#pragma once

#include "CityDb.h"

struct EstateCity {
    CityDb db;
    EstateCity() {
        for (const char* name : {"Лесная", "Морская"}) {
            TStreet s;
            s.Name = Tas{QString::fromUtf8(name), QString::fromUtf8(name) + "-en"};
            db.Streets.push_back(s);
        }
        const auto building = [&](int id, int street, const QString& num) {
            TBuilding b;
            b.id = id;
            b.street = street;
            b.num = TSharedTas{num, num};
            db.Buildings.push_back(b);
        };
        building(100, 0, "12");
        building(101, 1, "7А-длинный-номер-дома");
        building(100, 1, "99"); // a later building with the same id is never the one taken
        db.MaterialNames = {Tas{"?"}, Tas{"кирпич"}, Tas{"панель"}};
        db.EstateAgents = {{501, 3, "Домострой"}, {502, 4, "Квартал"}};
    }
};
