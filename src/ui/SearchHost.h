// What the criteria panel and the card list ask of the main window and its map. Every call has a
// harmless default, so each can be wired when the map side exists.
#pragma once

#include "OrgSearch.h"

#include <QDateTime>
#include <QPoint>
#include <QSize>

class SearchHost {
public:
    virtual ~SearchHost() = default;

    // TMap.Refresh: with3D redraws the OpenGL view too.
    virtual void RedrawMap(bool /*with3D*/) {}
    // Interrupts a running flight or glide of the map.
    virtual void StopMapMotion() {}
    virtual void FlyTo(float /*x*/, float /*y*/, float /*scale*/) {}
    // Makes the building the map's selected object (drawn in the active colour).
    virtual void SelectBuilding(int /*building*/) {}
    virtual void SelectStreet(int /*street*/) {}
    // Lets the map move again after an interruption (blinking and flights run only then).
    virtual void AllowMapMotion() {}
    // The program is going back to the start window (AppState "back"): nothing starts blinking.
    virtual bool InBackground() const { return false; }
    virtual void HideHints() {}
    // Closes the ruler window when it is shown (picking a stop on the map takes the pointer).
    virtual void CloseRuler() {}
    virtual QSize MapSize() const { return {800, 600}; }
    virtual float FullScale() const { return 1; }
    // The radius tool's circle.
    virtual RadiusCircle Radius() const { return {}; }
    // Blinking of MapDisplay::ShownObjects: start its timer; stop it, empty the set and redraw.
    virtual void StartBlink() {}
    virtual void StopBlink() {}
    // A hovered stop text of a route card highlights its stop on the map (by stop identifier).
    virtual void HighlightStop(int /*stopId*/, bool /*on*/) {}
    virtual void ShowRouteOnMap(const QString& /*number*/) {}
    virtual void ShowStopOnMap(int /*stopId*/) {}
    // The ICQ message page in the hidden browser.
    virtual void OpenIcq(const QString& /*number*/) {}
    // The statistics request for an organisation whose card was opened.
    virtual void OrgViewed(int /*orgId*/) {}
    virtual void HideFilterList() {}
    // Moves the focus to the invisible edit, so no criterion field keeps it.
    virtual void FocusDefocus() {}
    virtual bool ResultPanelVisible() const { return true; }
    virtual void SaveSettings() {}
    // The card menu (copy, print) for a right click; org is -1 off organisation cards.
    virtual void CardMenu(const QPoint& /*globalPos*/, int /*org*/) {}
    virtual QDateTime Now() const { return QDateTime::currentDateTime(); }
};
