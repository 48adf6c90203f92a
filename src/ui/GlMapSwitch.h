// The map surface by the renderer setting: the OpenGL surface `imgGL` over the 2D picture while
// `GrafMode` is 1, the 2D picture alone otherwise. Where OpenGL cannot be had the setting goes back to 0
// and the user is told; the map is never left black.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class TfrmMain;
class TGlMap;
class TGlMapImage;
class TMap;

class GlMapSwitch : public QObject {
    Q_OBJECT
public:
    explicit GlMapSwitch(TfrmMain& frm);
    ~GlMapSwitch() override;

    // Follows `GrafMode`: shows or removes the OpenGL surface. Run when the map first shows and after
    // the options window is confirmed.
    void Apply();
    // The OpenGL surface is in use: redraws go to it.
    bool Active() const;
    TGlMapImage* surface() const;
    // The renderer of the loaded city (made on first use), or null when no city is loaded.
    TGlMap* renderer();
    // The city was closed: its renderer goes.
    void CityClosed();
    // A complete redraw of the OpenGL surface.
    void Redraw();

    // Whether this display can give an OpenGL context for the map; `why` says what failed.
    static bool Available(QString& why);

    // Shows the message of a fall-back to 2D (tests capture it); by default a warning box.
    std::function<void(const QString& text)> showMessage;

private:
    void FallBack(const QString& why);
    void Remove();

    TfrmMain& frm_;
    QPointer<TGlMapImage> surface_;
    std::unique_ptr<TGlMap> renderer_;
    const TMap* rendererOf_ = nullptr;
};
