// Fills the main window's banners and running text from the loaded city, and opens an advertiser's
// card when one is clicked.
#pragma once

#include <QtGlobal>

struct AppContext;
struct CityFileRef;
struct TOrg;
class TBannerStrip;
class TCardList;
class TMapBanner;
class TRunningString;

void StartAdvertising(AppContext& app, TBannerStrip& bottom, TMapBanner& map, TRunningString& running);
// Decodes the organisation's bottom and map banners at the sizes they are shown, while the city loads.
void PreloadBanners(const TOrg& org, const CityFileRef& city, qreal ratio);
void StopAdvertising(TBannerStrip& bottom, TMapBanner& map, TRunningString& running);

// The advertiser's card alone in the list, opened, in the history, and the click counted.
void OpenAdvertiser(AppContext& app, TCardList& list, int orgId);
