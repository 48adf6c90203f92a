// Showing a street on the map, as a confirmed street picker and an address request do.
#pragma once

class SearchHost;
class TCardList;

// Clears the found marks; a street with a shape becomes found and selected, is fitted into the map and,
// unless the program is going back to the start window, blinks. False when there is nothing to show.
bool ShowStreetOnMap(TCardList& list, SearchHost& host, int street);
