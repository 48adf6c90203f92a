#include "Advertising.h"

#include "AdBanners.h"
#include "AppContext.h"
#include "CityFileError.h"
#include "Pictures.h"
#include "TCardList.h"

#include <QPainter>
#include <QToolButton>

namespace {

int OrgPosition(const CityDb& db, int orgId) {
    for (std::size_t i = 0; i < db.Orgs.size(); ++i)
        if (db.Orgs[i].id == orgId) return int(i);
    return -1;
}

QSize BannerPixels(bool bottom, qreal ratio) {
    const QSize size = bottom ? QSize(TBannerStrip::Width, TBannerStrip::Height)
                              : QSize(TMapBanner::Width, TMapBanner::Height);
    return size * ratio;
}

// A damaged picture in the city file, or one far larger than the banner, leaves that banner out
// rather than stopping the window.
std::vector<TAdBanner> Banners(AppContext& app, const Tai& ids, bool bottom, qreal ratio) {
    std::vector<TAdBanner> out;
    for (int id : ids) {
        const int pos = OrgPosition(*app.db, id);
        if (pos < 0) continue;
        TOrg& org = app.db->Orgs[std::size_t(pos)];
        auto& img = bottom ? org.DownBanner : org.mapBanner;
        if (!img) continue;
        const QImage* picture = nullptr;
        try {
            picture = LoadImg(*img, TImgType::jpg, app.city, BannerPixels(bottom, ratio));
        } catch (const CityFileError&) {
            picture = nullptr;
        }
        if (!picture || picture->isNull()) continue;
        out.push_back({*picture, id, int(org.seconds) * 1000 + 4000});
    }
    return out;
}

// The picture of a city without bottom banners: an invitation to advertise.
QImage EmptyBanner() {
    QImage img(300, 60, QImage::Format_RGB32);
    img.fill(QColor(0xE3, 0xEE, 0xFB));
    QPainter p(&img);
    p.setPen(QColor(0x1C, 0x4F, 0x8C));
    p.drawRect(img.rect().adjusted(0, 0, -1, -1));
    QFont f = p.font();
    f.setPointSize(10);
    p.setFont(f);
    p.drawText(img.rect(), Qt::AlignCenter | Qt::TextWordWrap, LangText(u"PlaceFor"));
    return img;
}

} // namespace

void StartAdvertising(AppContext& app, TBannerStrip& bottom, TMapBanner& map, TRunningString& running) {
    std::vector<TAdBanner> down = Banners(app, app.DownBannerIds, true, bottom.devicePixelRatioF());
    bottom.SetBanners(std::move(down), app.DownBannerPos, EmptyBanner());
    std::vector<TAdBanner> over = Banners(app, app.MapBannerIds, false, map.devicePixelRatioF());
    const bool any = !over.empty();
    map.SetBanners(std::move(over), app.MapBannerPos);
    map.parentWidget()->setVisible(any);
    running.SetTexts(app.db->RunningTexts, std::vector<int>(app.db->RunningOrgIds.begin(), app.db->RunningOrgIds.end()),
                     LangText(u"PlaceFor"));
    running.Start();
}

void PreloadBanners(const TOrg& org, const CityFileRef& city, qreal ratio) {
    for (bool bottom : {true, false}) {
        const auto& img = bottom ? org.DownBanner : org.mapBanner;
        if (!img) continue;
        try {
            LoadImgShared(*img, TImgType::jpg, city, BannerPixels(bottom, ratio));
        } catch (const CityFileError&) {
            // Left out when the window starts its banners.
        }
    }
}

void StopAdvertising(TBannerStrip& bottom, TMapBanner& map, TRunningString& running) {
    bottom.Stop();
    map.timMapBanner.stop();
    running.Stop();
}

void OpenAdvertiser(AppContext& app, TCardList& list, int orgId) {
    if (orgId == -1 || !app.db) return;
    const int pos = OrgPosition(*app.db, orgId);
    if (pos < 0) return;
    list.ClearResults();
    list.ShowOrgCards(QString(), Tai{pos}, -1);
    list.AppendHistory(hotOrg, Tai{pos});
    list.btnBack->setEnabled(true);
    list.btnForward->setEnabled(false);
    app.vendor.IncOrg(orgId, app.city.FileName);
}
