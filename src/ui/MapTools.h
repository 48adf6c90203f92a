// The map's floating tools between the main window's map input and the overlay painting: info
// balloons (with the advertisers' banner balloons), the ruler with its window, and the search radius.
#pragma once

#include "BalloonPainter.h"

#include <QObject>
#include <QPoint>

class TfrmMain;
class TfrmMeas;

class TMapTools : public QObject {
    Q_OBJECT
public:
    explicit TMapTools(TfrmMain& frm);
    ~TMapTools() override;

    TBalloonList balloons;
    TMeas meas;
    TRadius radius;
    TfrmMeas* frmMeas;

    // A city's renderer exists: its overlay hooks, and every tool emptied.
    void CityLoaded();
    // The city's map shows for the first time: the banner balloons.
    void MapShown();
    // The city is released: tools off, balloons, ruler and circle gone.
    void CityClosed();

    bool RulerOn() const;
    // The map image's cursor at rest: 12 with the scale tool, 3 with the ruler, else 2.
    int RestCursor() const;
    // Closes the ruler window when it is open (a right press, Escape, the scale tool).
    void CloseRuler();
    // A right press on the map ends measuring; its release opens the map's menu unless it did.
    void RightPress();
    bool RightRelease();
    RadiusCircle Circle() const { return radius.Circle(); }

    // The press after the map drag was set up: a radius handle, a balloon or a ruler node may take it
    // (AppState becomes that gesture).
    void Press(QPoint pos);
    // A movement during a tool gesture; true when it was one.
    bool Move(QPoint pos, QPoint global);
    // The pointer hovers (no gesture): handles, balloons and nodes are offered it.
    void Hover(QPoint pos);
    void Leave();
    // The end of a tool gesture, the pointer at `pos`; true when the release was one.
    bool Release(QPoint pos);
    // A click taken by the radius or the ruler tool.
    bool Click(QPoint pos);
    // After a click's hit test: the balloon of what was hit, anchored at the click.
    void ObjectBalloon(int cx, int cy);

    void btnMeasClick();
    void btnRadiusClick();
    // The text of the ruler window for the ruler as it is.
    QString DistanceCaption() const;

private:
    BalloonEnv Env() const;
    void OverlayRedraw();
    void ShowDistance();
    void RulerClosed();
    void SetImageCursor(int kind);
    void ShowBannerMenu();

    TfrmMain& frm_;
    OverlayFonts fonts_;
    QPoint pointer_{-1, -1};
    bool pointerIn_ = false;
    bool bannersMade_ = false;
    bool rightEndedRuler_ = false;
    int imageCursor_ = -1;
    int langHook_ = -1;
};
