// The minimap, the map print and the whole-city export in the running main window.
#include "CityExport.h"
#include "MapPrintActions.h"
#include "MapRenderer.h"
#include "MinimapPanel.h"
#include "ProgramHarness.h"
#include "TCardList.h"
#include "TextTable.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QKeyEvent>
#include <QShortcut>
#include <QTimer>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QPushButton>

struct MapTools : MainWindow {
    MinimapPanel* mini = nullptr;
    void SetUp() override {
        MainWindow::SetUp();
        if (!frm) return;
        mini = frm->minimap;
        ASSERT_TRUE(WaitUntil([&] { return !mini->pictures.isNull(); }));
    }
    // The world point a minimap pixel stands for.
    QPointF World(QPoint p) const {
        const MapView& v = frm->view;
        return {v.WorldMinX + double(v.WorldMaxX - v.WorldMinX) * p.x() / mini->size.MiniW,
                v.WorldMinY + double(v.WorldMaxY - v.WorldMinY) * p.y() / mini->size.MiniH};
    }
};

TEST_F(MapTools, MinimapFoldsAndItsClicksAndDragsMoveTheView) {
    // Near the map's right edge, folded to its title at first.
    EXPECT_EQ(frm->pnlMinimap->width(), mini->size.panelW);
    EXPECT_TRUE(frm->pnlMinimap->isVisible());
    EXPECT_FALSE(mini->imgMinimap->isVisible());
    EXPECT_EQ(frm->pnlMinimap->geometry().right() + 1, frm->pnlMap->width() - 14);
    EXPECT_FALSE(mini->pnlMinimapTitle->text().isEmpty());
    const int folded = frm->pnlMinimap->height();
    frm->img->setFocus();
    Key(Qt::Key_F2);
    EXPECT_TRUE(mini->MinimapShown);
    EXPECT_TRUE(mini->imgMinimap->isVisible());
    EXPECT_GT(frm->pnlMinimap->height(), folded + mini->size.MiniH);
    Screenshot(frm, QStringLiteral("minimap-en"));
    // The title follows the interface language.
    frm->app().settings.ShellLang = LangRussian;
    frm->app().languageHooks.ChangeShellLang();
    EXPECT_EQ(mini->pnlMinimapTitle->text(), QString::fromUtf8("Обзорная карта"));
    Screenshot(frm, QStringLiteral("minimap-ru"));

    // At the full-map scale the frame covers the whole minimap: all of it bright.
    const QImage& shown = mini->imgMinimap->shown;
    const QPoint mid(mini->size.MiniW / 2 + 3, mini->size.MiniH / 2 + 3);
    const double ratio = shown.devicePixelRatio();
    EXPECT_EQ(shown.pixel(int(mid.x() * ratio), int(mid.y() * ratio)),
              mini->pictures.bright.pixel(int(mid.x() * ratio), int(mid.y() * ratio)));

    // Zoomed in, a click goes to the clicked place at the same scale.
    frm->motion->jump = false;
    frm->view.Scale = frm->view.FullScale / 4;
    frm->Redraw(true);
    const QPoint target(mini->size.MiniW * 2 / 5, mini->size.MiniH * 3 / 5);
    Mouse(mini->imgMinimap, QEvent::MouseButtonPress, target);
    Mouse(mini->imgMinimap, QEvent::MouseButtonRelease, target);
    EXPECT_FLOAT_EQ(frm->view.Scale, frm->view.FullScale / 4);
    EXPECT_NEAR(frm->view.OriginX, World(target).x(), 0.01);
    EXPECT_NEAR(frm->view.OriginY, World(target).y(), 0.01);
    // Outside the frame the minimap is dark now.
    EXPECT_EQ(mini->imgMinimap->shown.pixel(1, 1), mini->pictures.dark.pixel(1, 1));

    // A drag from the centre in ScaleMode 0: the square's half-side sets the scale.
    frm->app().settings.ScaleMode = 0;
    const QPoint press(mini->size.MiniW / 2, mini->size.MiniH / 2);
    Drag(mini->imgMinimap, press, press + QPoint(14, 2));
    const float ww = frm->view.WorldMaxX - frm->view.WorldMinX;
    EXPECT_FLOAT_EQ(frm->view.Scale, ww * 28 / mini->size.MiniW / frm->img->width());
    EXPECT_NEAR(frm->view.OriginX, World(press).x(), 0.01);
    // ScaleMode 1: from a corner, centred between press and release.
    frm->app().settings.ScaleMode = 1;
    Drag(mini->imgMinimap, press, press + QPoint(-16, 5));
    EXPECT_FLOAT_EQ(frm->view.Scale, ww * 16 / mini->size.MiniW / frm->img->width());
    EXPECT_NEAR(frm->view.OriginX, World(press + QPoint(-8, 2)).x(), 0.01);
    // A rectangle drawn from the left edge: its own size sets the scale, not a square around the press.
    const QPoint edge(0, mini->size.MiniH / 2);
    Drag(mini->imgMinimap, edge, edge + QPoint(30, 4));
    EXPECT_FLOAT_EQ(frm->view.Scale, ww * 30 / mini->size.MiniW / frm->img->width());

    // The busy flag is the result list's: a minimap click waits while a card click runs, and a card
    // click waits while the minimap moves the view.
    const float scaleBefore = frm->view.Scale, xBefore = frm->view.OriginX;
    frm->list->ClickBusy() = true;
    Drag(mini->imgMinimap, press, press + QPoint(10, 0));
    EXPECT_FLOAT_EQ(frm->view.Scale, scaleBefore);
    EXPECT_FLOAT_EQ(frm->view.OriginX, xBefore);
    frm->list->ClickBusy() = false;
    bool listBusyInFlight = false;
    const auto fly = mini->flyTo;
    mini->flyTo = [&](float x, float y, float scale) {
        listBusyInFlight = frm->list->ClickBusy();
        fly(x, y, scale);
    };
    Drag(mini->imgMinimap, press, press + QPoint(10, 0));
    mini->flyTo = fly;
    EXPECT_TRUE(listBusyInFlight);
    EXPECT_FALSE(frm->list->ClickBusy());

    // Clicking the title folds it again.
    Mouse(mini->pnlMinimapTitle, QEvent::MouseButtonRelease, QPoint(5, 5));
    EXPECT_FALSE(mini->MinimapShown);
    EXPECT_EQ(frm->pnlMinimap->height(), folded);

    // The next city's minimap starts folded, although this one was open.
    mini->btnMinimapClick();
    ASSERT_TRUE(mini->MinimapShown);
    mini->Build(*frm->map, frm->view, frm->display, frm->img->width(), frm->img->height(),
                frm->img->devicePixelRatioF());
    EXPECT_FALSE(mini->MinimapShown);
    EXPECT_FALSE(mini->imgMinimap->isVisible());
    EXPECT_EQ(frm->pnlMinimap->height(), folded);
}

TEST_F(MapTools, PrintGoesToTheChosenPdfAndAFailureIsReported) {
    QTemporaryDir dir;
    QString target = dir.filePath("map.pdf");
    bool offeredPdf = false;
    frm->mapPrint->runPrintDialog = [&](QPrinter& printer, bool toPdf) {
        offeredPdf = toPdf;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(target);
        return true;
    };
    ASSERT_TRUE(frm->btnPrint->isEnabled());
    frm->btnPrint->click();
    EXPECT_EQ(offeredPdf, QPrinterInfo::availablePrinterNames().isEmpty());
    QFile pdf(target);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
    // A job that cannot be written is ended and said so; nothing is left behind.
    target = dir.filePath("no such folder/map.pdf");
    QString said;
    ReadNextMessage(said);
    frm->btnPrint->click();
    EXPECT_TRUE(said.startsWith("Error!\n") || said.startsWith(QString::fromUtf8("Ошибка!\n")))
        << said.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("no such folder")));
}

// The real print dialog: its title says when the print goes to a PDF file; closing it prints nothing.
TEST_F(MapTools, PrintDialogSaysWhereThePrintGoes) {
    QString title;
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [&title, poll] {
        if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
            title = dialog->windowTitle();
            Screenshot(dialog, QStringLiteral("print-dialog"));
            poll->deleteLater();
            dialog->reject();
        }
    });
    poll->start(20);
    frm->btnPrint->click();
    if (QPrinterInfo::availablePrinterNames().isEmpty())
        EXPECT_EQ(title, LangText(u"NoPrinterPdf"));
    else
        EXPECT_EQ(title, LangText(u"Printing"));
}

// Cancel in the progress window stops the export and leaves no file; the view is as it was.
TEST_F(MapTools, ExportCancelledInItsWindowLeavesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath("city.bmp");
    // Fine enough for many strips.
    frm->view.Scale = MapView::MinScale;
    frm->Redraw(true);
    const float originX = frm->view.OriginX;
    bool sawWindow = false;
    int polls = 0;
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [&sawWindow, &polls, poll, this] {
        auto* progress = frm->findChild<QProgressDialog*>(QStringLiteral("frmMapExport"));
        if (!progress || !progress->isVisible()) return;
        sawWindow = true;
        // A few strips on, so that the window has been placed and painted.
        if (++polls < 4) return;
        Screenshot(progress, QStringLiteral("export-progress"));
        poll->deleteLater();
        if (auto* cancel = progress->findChild<QPushButton*>()) cancel->click();
    });
    poll->start(10);
    EXPECT_FALSE(frm->mapPrint->ExportTo(path));
    EXPECT_TRUE(sawWindow);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    EXPECT_EQ(frm->view.OriginX, originX);
}

TEST_F(MapTools, WholeCityExportWritesThePictureAndSaysWhere) {
    QTemporaryDir dir;
    const QString path = dir.filePath("city.png");
    frm->view.Scale = frm->view.FullScale / 2;
    frm->Redraw(true);
    const float originX = frm->view.OriginX, scale = frm->view.Scale;
    qint64 W, H;
    WholeCitySize(frm->view, W, H);
    frm->mapPrint->chooseExportFile = [&] { return path; };
    QString said;
    ReadNextMessage(said);
    frm->mapPrint->btnMapForPrint->click();
    EXPECT_TRUE(said.contains(QFileInfo(path).fileName())) << said.toStdString();
    const QImage picture(path);
    EXPECT_EQ(picture.size(), QSize(int(W), int(H)));
    EXPECT_EQ(frm->view.OriginX, originX);
    EXPECT_EQ(frm->view.Scale, scale);
    EXPECT_FALSE(frm->mapPrint->btnMapForPrint->isVisible());
}

TEST_F(MapTools, TheExportIsReachedFromThePrintButtonsMenuAndItsKey) {
    int asked = 0;
    frm->mapPrint->chooseExportFile = [&] {
        ++asked;
        return QString(); // cancelled at the file choice
    };
    // The context menu offers the whole city map; choosing it asks for the file.
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->objectName(), "pmPrint");
        ASSERT_EQ(menu->actions().size(), 1);
        EXPECT_TRUE(menu->actions()[0]->text().startsWith(LangText(u"MapForPrint")));
        for (int key : {Qt::Key_Down, Qt::Key_Return}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(menu, &press);
        }
    });
    emit frm->btnPrint->customContextMenuRequested(QPoint(4, 4));
    EXPECT_EQ(asked, 1);
    // And Ctrl+Shift+P does the same from the main window.
    QShortcut* key = nullptr;
    for (QShortcut* s : frm->findChildren<QShortcut*>())
        if (s->key() == QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P)) key = s;
    ASSERT_NE(key, nullptr);
    emit key->activated();
    EXPECT_EQ(asked, 2);
}
