// The order of organisations for a data language: those with the `place` flag first, then by caption.
#pragma once

struct CityDb;

// Stable sort of Orgs: `place` first, within each group captions in `dataLang` by ordinal comparison.
// The estate agencies keep positions in Orgs, so they are derived again.
void SortOrgsForDataLang(CityDb& db, int dataLang);
