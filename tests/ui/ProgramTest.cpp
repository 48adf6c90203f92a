// The program's windows driven by control name: the start window, loading a city, the main window
// with its map, closing through the quit window and coming back; a second start that is refused.
#include "BuildingSearch.h"
#include "ProgramHarness.h"
#include "TObjectPage.h"

#include <QThread>
#include <atomic>

namespace {

TEST_F(Program, StartLoadMapAndBack) {
    WriteCity(CityFolder(), QStringLiteral("Demograd"), QStringLiteral("Demograd"));
    Open();
    auto* cbCity = start->findChild<QComboBox*>("cbCity");
    ASSERT_EQ(cbCity->count(), 1);
    EXPECT_EQ(cbCity->itemText(0), QStringLiteral("Demograd  (December 2025)"));
    EXPECT_TRUE(start->findChild<QLabel*>("txtCity")->text().startsWith("Agent in Demograd: "));
    EXPECT_EQ(start->findChild<QPushButton*>("btnGo")->text(), QStringLiteral("Next >"));
    Screenshot(start.get(), "start");

    TfrmMain* frm = Next();
    ASSERT_NE(frm, nullptr);
    EXPECT_FALSE(start->isVisible());
    EXPECT_EQ(start->pb1->value() > 50, true) << "the bar advanced while loading";
    EXPECT_EQ(frm->windowTitle(), QStringLiteral("Tessara Guide:  Demograd  (December 2025)"));
    EXPECT_EQ(frm->findChild<QComboBox*>("cbMaterial")->count(), int(app->db->MaterialNames.size()) - 1);
    ASSERT_TRUE(frm->map);
    TMapImage* img = frm->img;
    EXPECT_EQ(frm->view.Width, img->width());
    EXPECT_FLOAT_EQ(frm->view.Scale, frm->view.FullScale);
    Screenshot(frm, "main-right");

    // A click on a building selects it; a press and release 4 pixels apart is still a click.
    CityDb& db = *app->db;
    QPoint at;
    ASSERT_GE(ClickableBuilding(frm, db, at), 0);
    int listed = -1;
    frm->objectClicked = [&](TObjType kind, int index) { listed = kind == otBuild ? index : -1; };
    Click(img, at);
    EXPECT_EQ(frm->hit.HitKind, otBuild);
    EXPECT_EQ(listed, frm->hit.HitIndex);
    EXPECT_TRUE(IsSelected(db.Buildings[frm->hit.HitIndex], app->colors.active()));
    EXPECT_TRUE(app->AppState.isEmpty());

    // At full-map scale a drag does not move the map.
    const float x0 = frm->view.OriginX, y0 = frm->view.OriginY;
    Drag(img, at, at + QPoint(60, 40));
    EXPECT_FLOAT_EQ(frm->view.OriginX, x0);
    EXPECT_FLOAT_EQ(frm->view.OriginY, y0);

    // The wheel (backward, as `invert` is off) zooms in about the pointer: once the view has room
    // to move, the world point under the pointer stays under it.
    const float full = frm->view.Scale;
    const QPoint middle(img->width() / 2, img->height() / 2);
    Wheel(img, middle, -120);
    EXPECT_LT(frm->view.Scale, full);
    Wheel(img, middle, -120);
    float wx, wy;
    frm->view.CursorToWorld(at.x(), at.y(), wx, wy);
    const float zoomed = frm->view.Scale;
    Wheel(img, at, -120);
    EXPECT_NEAR(frm->view.Scale, zoomed / 1.5f, 0.001);
    float ax, ay;
    frm->view.CursorToWorld(at.x(), at.y(), ax, ay);
    EXPECT_NEAR(ax, wx, 2 * frm->view.Scale);
    EXPECT_NEAR(ay, wy, 2 * frm->view.Scale);
    Wheel(img, at, 120);
    EXPECT_NEAR(frm->view.Scale, zoomed, 0.001) << "forward zooms out";

    // Now a drag of 5 pixels and more moves the map with the pointer and selects nothing.
    const int selected = frm->hit.HitIndex;
    const float ox = frm->view.OriginX, oy = frm->view.OriginY;
    Drag(img, at, at + QPoint(40, 20));
    EXPECT_NEAR(frm->view.OriginX, ox - frm->view.ToWorld(40), 0.01);
    EXPECT_NEAR(frm->view.OriginY, oy - frm->view.ToWorld(20), 0.01);
    EXPECT_EQ(frm->hit.HitIndex, selected);
    EXPECT_TRUE(app->AppState.isEmpty());

    // Keys: Shift+Right moves 50 pixels' worth, keypad plus zooms in.
    const float kx = frm->view.OriginX;
    Key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_NEAR(frm->view.OriginX, kx + frm->view.ToWorld(50), 0.01);
    const float ks = frm->view.Scale;
    Key(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_LT(frm->view.Scale, ks);

    // The zoom rectangle: arm the scale tool, draw a square, the view flies to it.
    app->settings.jump = false;
    frm->btnScale->click();
    EXPECT_EQ(app->AppState, QStringLiteral("scale"));
    const float before = frm->view.Scale;
    Drag(img, at, at + QPoint(30, 30));
    EXPECT_TRUE(app->AppState.isEmpty());
    EXPECT_FALSE(frm->btnScale->isChecked());
    EXPECT_LT(frm->view.Scale, before);

    frm->btnFullMapClick();
    EXPECT_FLOAT_EQ(frm->view.Scale, frm->view.FullScale);

    // Closing asks; Esc (cancel) keeps the window, "change city" goes back to the city list.
    AnswerModal("btnNo");
    frm->close();
    QApplication::processEvents();
    EXPECT_TRUE(frm->isVisible());
    AnswerModal("btnBack");
    frm->close();
    ASSERT_TRUE(WaitUntil([&] { return start->isVisible() && !frm->isVisible(); }));
    EXPECT_TRUE(start->cbCity->isVisible());
    EXPECT_FALSE(start->pb1->isVisible());
    EXPECT_TRUE(WaitUntil([&] { return start->btnGo->isEnabled(); }));
    EXPECT_FALSE(frm->map);
    EXPECT_TRUE(app->db->Buildings.empty()) << "the city is released";

    // Load again with the panel on the left, then quit.
    app->settings.position = 0;
    frm = Next();
    EXPECT_LT(frm->pnlResult->x(), frm->pnlMap->x());
    EXPECT_EQ(frm->pnlSys->parentWidget(), frm->pnlTools);
    EXPECT_EQ(frm->pnlSys->x() + frm->pnlSys->width() + 1, frm->pnlTools->width());
    Screenshot(frm, "main-left");
    AnswerModal("btnYes");
    frm->close();
    EXPECT_TRUE(WaitUntil([&] { return closed; }));
    EXPECT_EQ(app->AppState, QStringLiteral("quit"));
}

TEST_F(Program, ADamagedCityShowsItsErrorAndReturnsToTheList) {
    const QString path = WriteCity(CityFolder(), QStringLiteral("Broken"), QStringLiteral("Broken"));
    // Cut the file inside its map section: the header and start section still read.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.resize(f.size() * 2 / 5);
    f.close();
    Open();
    QString shown;
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [&, poll] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            poll->stop();
            poll->deleteLater();
            box->accept();
        }
    });
    poll->start(20);
    start->btnGo->click();
    ASSERT_TRUE(WaitUntil([&] { return !shown.isEmpty() && start->btnGo->isEnabled(); }));
    EXPECT_TRUE(shown.contains("Broken.gis")) << shown.toStdString();
    EXPECT_TRUE(start->isVisible());
    EXPECT_TRUE(start->cbCity->isVisible());
    EXPECT_FALSE(start->pb1->isVisible());
    EXPECT_TRUE(start->frmMain == nullptr || !start->frmMain->isVisible());
}

TEST_F(Program, NoCityInstalledAsksAndEndsOnNo) {
    app = std::make_unique<AppContext>();
    AnswerModal("btnNo");
    start = std::make_unique<TfrmStart>(*app);
    start->checkHost = [] { return false; };
    QObject::connect(start.get(), &TfrmStart::closed, [this] { closed = true; });
    start->show();
    EXPECT_TRUE(WaitUntil([&] { return closed; }, 5000));
    EXPECT_EQ(app->CurrentCity, -1);
}

TEST(TipsWindow, ShowsATipAndStoresTheTick) {
    TempSettingsStore store;
    Settings s;
    SetDefaults(s);
    s.ShellLang = 1;
    TfrmHelp frm(s);
    frm.pickTip = [](int count) {
        EXPECT_EQ(count, 25);
        return 2;
    };
    frm.show();
    EXPECT_EQ(frm.mem->toPlainText(), LangText(u"Know", 1) +
                                          "\n\n... менять масштаб карты можно колесом мыши.\n\n" +
                                          WithLineBreaks(LangText(u"Look", 1)));
    frm.cbHelp->click();
    EXPECT_FALSE(s.ShowHelp);
    Settings read;
    ColorSchemeTable colors;
    FillColorSchemes(colors);
    ReadSettings(read, colors);
    EXPECT_FALSE(read.ShowHelp) << "saved at once for the next start";
}

// The program itself, started a second time by the same user: on the display of the running one it
// ends at once without a word; on another display it says that the running one was raised there.
TEST(SingleInstanceProgram, ASecondStartEndsAtOnceAndWakesTheFirst) {
#ifdef TESSARA_EXE
    QTemporaryDir runtime;
    QThread thread;
    thread.start();
    auto* first = new SingleInstance(runtime.path() + '/', QStringLiteral("offscreen::7"));
    first->moveToThread(&thread);
    std::atomic<int> activations{0};
    QObject::connect(first, &SingleInstance::activationRequested, first, [&] { ++activations; });
    bool claimed = false;
    QMetaObject::invokeMethod(first, [&] { claimed = first->Claim(); }, Qt::BlockingQueuedConnection);
    ASSERT_TRUE(claimed);
    auto start = [&](const QString& display) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("DISPLAY", display);
        env.remove("WAYLAND_DISPLAY");
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(TESSARA_EXE), {});
        EXPECT_TRUE(p->waitForStarted(5000));
        return p;
    };
    auto same = start(":7");
    ASSERT_TRUE(WaitUntil([&] { return same->state() == QProcess::NotRunning; }, 10000));
    EXPECT_EQ(same->exitCode(), 0);
    EXPECT_TRUE(same->readAllStandardError().isEmpty());
    EXPECT_TRUE(WaitUntil([&] { return activations == 1; }, 3000));

    // Elsewhere it says so in a message of its own, which waits for the user.
    auto other = start(":8");
    QByteArray said;
    EXPECT_TRUE(WaitUntil(
        [&] {
            said += other->readAllStandardError();
            return said.contains("offscreen::7");
        },
        10000))
        << said.toStdString();
    EXPECT_EQ(other->state(), QProcess::Running);
    other->kill();
    other->waitForFinished(5000);
    EXPECT_EQ(activations, 2);
    QMetaObject::invokeMethod(first, [&] { delete first; }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
#else
    GTEST_SKIP() << "the program is not built";
#endif
}

} // namespace

namespace {

TEST_F(MainWindow, EveryControlOfTheLayoutIsNamed) {
    for (const char* name : {"pnlResult",
                             "pc",
                             "pgCriteria",
                             "pgObject",
                             "pgTransport",
                             "pnlCaption",
                             "pnlCards",
                             "imgCards",
                             "sbCards",
                             "pnlMiniTools",
                             "txtCount",
                             "pnl",
                             "imgBanner",
                             "pnlList",
                             "pnlSys",
                             "btnOptions",
                             "btnHelp",
                             "btnUpdate",
                             "btnCallback",
                             "edDefocus",
                             "pnlTools",
                             "btnPhones",
                             "btnEstate",
                             "btnShowMap",
                             "btnTaxi",
                             "btn911",
                             "btnCafe",
                             "btnBankomat",
                             "btnNews",
                             "btnNotes",
                             "btnAfisha",
                             "btnAdmin",
                             "btnWeather",
                             "pnlMap",
                             "img",
                             "pnlBanner",
                             "pnlMinimap",
                             "pnlMapTools",
                             "btnFullMap",
                             "btn3D",
                             "btnIncScale",
                             "btnDecScale",
                             "btnScale",
                             "btnMeas",
                             "btnPrint",
                             "btnRadius",
                             "btnSwitchMapTools",
                             "pnlWeb",
                             "imgGL",
                             "pnlMore",
                             "pmCards",
                             "mnuCopy",
                             "mnuPrint",
                             "mnuPrintAll",
                             "pnlRunString",
                             "imgRunningString",
                             "pnlImages",
                             "pmMap",
                             "timMove",
                             "timSmooth",
                             "timStop",
                             "timFlow",
                             "timBlink",
                             "timHint",
                             "timHideHint",
                             "timStart",
                             "timClose",
                             "timAdrClick"})
        EXPECT_NE(frm->findChild<QObject*>(name), nullptr) << name;
    for (const HintPanel& hp : MainWindowHintPanels()) {
        auto* panel = frm->findChild<QWidget*>(hp.panel);
        ASSERT_NE(panel, nullptr) << hp.panel;
        EXPECT_NE(panel->findChild<QLabel*>(QString(hp.panel).replace("pnlHint", "imgHint")), nullptr);
        auto* text = panel->findChild<QLabel*>(hp.description);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(panel->width(), text->x() + text->width() + 10) << "fits its description";
    }
    // Every tool button works.
    for (QToolButton* b : {frm->btnPhones, frm->btnEstate, frm->btnShowMap, frm->btnOptions, frm->btnUpdate,
                           frm->btnCallback,
                           frm->btnFullMap, frm->btn3D, frm->btnIncScale, frm->btnDecScale, frm->btnScale,
                           frm->btnSwitchMapTools, frm->btnTaxi, frm->btn911, frm->btnCafe, frm->btnBankomat,
                           frm->btnNews, frm->btnNotes, frm->btnAfisha, frm->btnAdmin, frm->btnWeather,
                           frm->btnMeas, frm->btnRadius, frm->btnPrint})
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_EQ(frm->findChild<QComboBox*>("cbType")->currentText(), LangText(u"EnterPurpose", 1));
}

TEST_F(MainWindow, HoverHintsWaitShowAndStayInsideTheWindow) {
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(frm->btnPhones, &enter);
    auto* panel = frm->findChild<QWidget*>("pnlHintPhonebook");
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(frm->timHint->isActive());
    EXPECT_EQ(panel->pos(), QPoint(frm->btnPhones->x() + frm->pnlTools->x(), frm->pnlMap->y() + 16));
    EXPECT_TRUE(WaitUntil([&] { return panel->isVisible(); }, 3000));
    EXPECT_TRUE(frm->timHideHint->isActive());
    Screenshot(frm, "hint");
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(frm->btnPhones, &leave);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(frm->timHint->isActive());

    // A system button at the right edge: the panel is moved left to fit.
    QApplication::sendEvent(frm->btnUpdate, &enter);
    auto* update = frm->findChild<QWidget*>("pnlHintUpdate");
    EXPECT_LE(update->x() + update->width(), frm->width() - 20);
    EXPECT_EQ(update->y(), frm->pnlMap->y() + 10);
    QApplication::sendEvent(frm->btnUpdate, &leave);

    // Tab hints by 51-pixel slots of the tab strip.
    frm->TabHint(QPoint(60, 10));
    EXPECT_EQ(frm->shownHint, frm->findChild<QWidget*>("pnlHintObject"));
    frm->TabHint(QPoint(60, 60));
    EXPECT_EQ(frm->shownHint, nullptr);
}

TEST_F(MainWindow, SearchFieldsShowTheirPromptsWhileEmptyAndUnfocused) {
    frm->pc->setCurrentWidget(frm->pgObject);
    auto* name = frm->findChild<QLineEdit*>("edObjName");
    const QString prompt = LangText(u"EnterName", 1);
    EXPECT_EQ(name->text(), prompt);
    name->setFocus();
    frm->ActiveControlChanged(name);
    EXPECT_EQ(name->text(), QString()) << "the focused field loses its prompt";
    frm->edDefocus->setFocus();
    frm->ActiveControlChanged(frm->edDefocus);
    EXPECT_EQ(name->text(), prompt) << "left empty, it shows the prompt again";
    name->setFocus();
    frm->ActiveControlChanged(name);
    name->setText("Театр");
    frm->edDefocus->setFocus();
    frm->ActiveControlChanged(frm->edDefocus);
    EXPECT_EQ(name->text(), QStringLiteral("Театр"));
}

TEST_F(MainWindow, MapToolsFoldAndTheThirdDimensionToggles) {
    const int unfolded = frm->pnlMapTools->height();
    frm->btnSwitchMapTools->click();
    EXPECT_EQ(frm->pnlMapTools->height(), frm->btnSwitchMapTools->height() + 8);
    frm->btnSwitchMapTools->click();
    EXPECT_EQ(frm->pnlMapTools->height(), unfolded);

    EXPECT_TRUE(frm->btn3D->isChecked());
    frm->edDefocus->setFocus();
    Key(Qt::Key_F3);
    EXPECT_FALSE(frm->btn3D->isChecked());
    EXPECT_TRUE(app->settings.flat);
    frm->btn3D->click();
    EXPECT_FALSE(app->settings.flat);

    const float full = frm->view.Scale;
    frm->btnIncScale->click();
    EXPECT_NEAR(frm->view.Scale, full / 1.5f, 0.001);
    frm->btnDecScale->click();
    EXPECT_NEAR(frm->view.Scale, full, 0.001);
}

TEST_F(MainWindow, EdgeCursorsAndEdgeScrolling) {
    TMapImage* img = frm->img;
    frm->btnIncScale->click();
    frm->btnIncScale->click();
    Mouse(img, QEvent::MouseMove, QPoint(img->width() / 2, img->height() / 2));
    EXPECT_EQ(frm->ScreenCursor(), 0);
    Mouse(img, QEvent::MouseMove, QPoint(img->width() - 5, img->height() / 2));
    EXPECT_EQ(frm->ScreenCursor(), EdgeRight);
    Mouse(img, QEvent::MouseMove, QPoint(5, 5));
    EXPECT_EQ(frm->ScreenCursor(), EdgeUpLeft) << "corners before edges";
    Mouse(img, QEvent::MouseMove, QPoint(img->width() - 5, img->height() / 2));
    const float x0 = frm->view.OriginX;
    Mouse(img, QEvent::MouseButtonPress, QPoint(img->width() - 5, img->height() / 2));
    EXPECT_TRUE(frm->timMove->isActive());
    EXPECT_TRUE(WaitUntil([&] { return frm->view.OriginX > x0; }, 3000));
    Mouse(img, QEvent::MouseButtonRelease, QPoint(img->width() - 5, img->height() / 2));
    EXPECT_FALSE(frm->timMove->isActive());
    EXPECT_TRUE(frm->hit.HitKind == otNone) << "an edge press is no click";
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(img, &leave);
    EXPECT_EQ(frm->ScreenCursor(), 0);
}

TEST_F(MainWindow, OptionsApplyThePanelSideAndAnEmptyPhoneBookOpensThem) {
    int runs = 0;
    frm->runOptions = [&](TfrmOptions&) {
        ++runs;
        app->settings.position = 0;
        return int(QDialog::Accepted);
    };
    frm->btnOptions->click();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(frm->pnlResult->x(), 0);
    EXPECT_EQ(frm->pnlSys->parentWidget(), frm->pnlTools);

    // No phone book: the message, then the options window; cancelling there starts nothing.
    app->settings.PhoneBook.clear();
    QStringList opened;
    SetShellOpenHook([&](const QString& target) {
        opened << target;
        return true;
    });
    frm->runOptions = [&](TfrmOptions&) {
        ++runs;
        return int(QDialog::Rejected);
    };
    AnswerModal("");
    frm->btnPhones->click();
    EXPECT_EQ(runs, 2);
    EXPECT_TRUE(opened.isEmpty());
    SetShellOpenHook({});
}

// The extra criteria show only on the organisation tab and, with the panel on either side, leave the
// map's tool buttons free; Escape in the rubric field empties it although no list names that field.
TEST_F(MainWindow, ExtraCriteriaStayOnTheirTabAndEscapeEmptiesTheRubric) {
    frm->pc->setCurrentWidget(frm->pgCriteria);
    frm->criteria->btnMore->click();
    ASSERT_TRUE(frm->pnlMore->isVisible());
    for (QWidget* page : {frm->pgObject, frm->pgTransport, frm->pgCriteria}) {
        frm->pc->setCurrentWidget(page);
        EXPECT_EQ(frm->pnlMore->isVisible(), page == frm->pgCriteria) << page->objectName().toStdString();
    }
    for (int side : {0, 1}) {
        app->settings.position = side;
        frm->LayoutPanels();
        const QRect more = frm->pnlMore->geometry();
        for (QToolButton* b : frm->pnlMapTools->findChildren<QToolButton*>())
            if (b->isVisible())
                EXPECT_FALSE(more.intersects(QRect(b->mapTo(frm, QPoint(0, 0)), b->size())))
                    << "side " << side << ": " << b->objectName().toStdString() << " is covered";
    }

    frm->activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return frm->isActiveWindow(); }, 5000));
    ASSERT_GT(app->db->RubricNames.size(), 0);
    frm->criteria->SetRubric(0);
    frm->criteria->edRub->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return frm->criteria->edRub->hasFocus(); }, 5000));
    ASSERT_EQ(frm->criteria->edRub->text(), app->db->RubricNames[0]);
    Key(Qt::Key_Escape);
    EXPECT_EQ(frm->criteria->SelectedRubric(), -1);
    EXPECT_TRUE(frm->criteria->edRub->text().isEmpty());
}

// Organisation positions of the listed cards, in order.
std::vector<int> CardOrgs(const TCardList& list) {
    std::vector<int> out;
    for (const TCard& c : list.cards.crds)
        out.push_back(c.org);
    return out;
}

// Whether a widget shows more than one colour (cards are drawn, not the empty background).
bool Painted(QWidget* w) {
    const QImage shot = w->grab().toImage();
    const QRgb first = shot.pixel(0, 0);
    for (int y = 0; y < shot.height(); y += 3)
        for (int x = 0; x < shot.width(); x += 3)
            if (shot.pixel(x, y) != first) return true;
    return false;
}

TEST_F(MainWindow, FindOrganisationsByNameAndListABuildingsOnes) {
    CityDb& db = *app->db;
    TOrgCriteria* c = frm->criteria;
    TCardList* list = frm->list;
    ASSERT_EQ(frm->pc->currentWidget(), frm->pgCriteria);
    EXPECT_TRUE(c->isVisible());
    EXPECT_EQ(frm->findChild<QLineEdit*>("edCaption"), c->edCaption);
    EXPECT_EQ(frm->findChild<QWidget*>("pnlMore"), frm->pnlMore);
    EXPECT_EQ(frm->pnlMore->parentWidget(), frm) << "the extra criteria open beside the panel";
    EXPECT_TRUE(frm->imgCards->isVisible());
    EXPECT_EQ(frm->imgCards, list->imgCards);
    EXPECT_EQ(frm->imgCards->window(), frm);
    EXPECT_EQ(c->btnFindOrg->text(), LangText(u"FindOrg")) << "relabelled in the interface language";

    // Type part of a name into the real field and press Find.
    const QString name = db.Orgs[5].caption[0].left(4);
    c->edCaption->setFocus();
    QApplication::processEvents();
    EXPECT_TRUE(c->edCaption->text().isEmpty()) << "the prompt goes with the focus";
    for (QChar ch : name.toLower()) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(c->edCaption, &press);
    }
    ASSERT_TRUE(c->btnFindOrg->isEnabled());
    c->btnFindOrg->click();
    EXPECT_EQ(list->pnlCaption->text(), LangText(u"FoundOrgs"));
    const std::vector<int> found = CardOrgs(*list);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(frm->txtCount->text(), QString::number(found.size()));
    EXPECT_NE(std::find(found.begin(), found.end(), 5), found.end());
    for (int org : found)
        EXPECT_TRUE(db.Orgs[std::size_t(org)].caption[0].toUpper().contains(name.toUpper()))
            << db.Orgs[std::size_t(org)].caption[0].toStdString();
    EXPECT_TRUE(Painted(frm->imgCards)) << "the cards are drawn";
    EXPECT_EQ(QApplication::focusWidget(), frm->edDefocus) << "the focus leaves the criteria";
    EXPECT_EQ(c->edCaption->text(), name.toLower());
    Screenshot(frm, "main-search");

    // The extra criteria open over the map beside the directory panel.
    c->btnMore->click();
    EXPECT_TRUE(frm->pnlMore->isVisible());
    EXPECT_TRUE(frm->pnlMore->geometry().intersects(frm->pnlMap->geometry()));
    EXPECT_FALSE(frm->pnlMore->geometry().intersects(frm->pnlResult->geometry().adjusted(4, 0, -4, 0)));
    Screenshot(frm, "main-more");
    c->btnMore->click();
    EXPECT_FALSE(frm->pnlMore->isVisible());

    // A click on a building lists its organisations.
    QPoint at;
    const int building =
        ClickableBuilding(frm, db, at, [&](int b) { return !::OrgsInBuilding(db, b).empty(); });
    ASSERT_GE(building, 0);
    Click(frm->img, at);
    ASSERT_EQ(frm->hit.HitKind, otBuild);
    ASSERT_EQ(frm->hit.HitIndex, building);
    EXPECT_EQ(list->pnlCaption->text(), LangText(u"OrgInBuild"));
    EXPECT_EQ(CardOrgs(*list), ::OrgsInBuilding(db, building));
    EXPECT_EQ(frm->txtCount->text(), QString::number(::OrgsInBuilding(db, building).size()));
    EXPECT_EQ(list->CardMarkMode, TCardMarkMode::building);
    EXPECT_TRUE(list->btnBack->isEnabled());
    Screenshot(frm, "main-building");

    // Back returns to the name search.
    list->btnBack->click();
    EXPECT_EQ(CardOrgs(*list), found);

    // A new data language sorts the organisations again and empties the list and the history;
    // a search then finds names of that language at their new positions.
    if (db.DataLangCount > 1) {
        app->settings.DataLang = 1;
        app->languageHooks.ChangeDataLang();
        EXPECT_TRUE(list->cards.crds.empty());
        EXPECT_TRUE(list->history.History.empty());
        EXPECT_FALSE(list->btnBack->isEnabled());
        EXPECT_EQ(list->Index()->DataLang(), 1);
        const QString caption = db.Orgs[5].caption.value(1);
        ASSERT_FALSE(caption.isEmpty());
        c->edCaption->setText(caption.left(4));
        c->btnFindOrg->click();
        const std::vector<int> again = CardOrgs(*list);
        EXPECT_NE(std::find(again.begin(), again.end(), 5), again.end());
    }

    // Escape in the name field reaches the field past the map's key handling and empties it.
    c->edCaption->setFocus();
    QApplication::processEvents();
    c->edCaption->setText(QStringLiteral("abc"));
    Key(Qt::Key_Escape);
    EXPECT_TRUE(c->edCaption->text().isEmpty());
}

TEST_F(MainWindow, ObjectTabListsAndAnAddressRequestFromOutside) {
    CityDb& db = *app->db;
    TObjectPage* p = frm->objectPage;
    EXPECT_EQ(frm->cbRegion, p->cbRegion);
    QStringList regions;
    for (int i = 0; i < p->cbRegion->count(); ++i)
        regions << p->cbRegion->itemText(i);
    EXPECT_EQ(regions, DistrictItems(db, 0));

    // A street named from outside: found, selected and fitted into the map by the 100 ms timer.
    int street = -1;
    for (std::size_t s = 0; s < db.Streets.size() && street < 0; ++s)
        if (!db.Streets[s].shape.empty()) street = int(s);
    ASSERT_GE(street, 0);
    const float scale = frm->view.Scale;
    app->pendingAddress.Set(db.Streets[std::size_t(street)].Name[0].toUpper());
    ASSERT_TRUE(WaitUntil([&] { return frm->hit.HitKind == otStreet && frm->hit.HitIndex == street; }, 3000));
    EXPECT_TRUE(db.Streets[std::size_t(street)].IsFound);
    EXPECT_NE(frm->view.Scale, scale) << "the map flew to the street";
    EXPECT_TRUE(app->pendingAddress.IsEmpty());

    // Another data language: the lists follow it.
    if (db.DataLangCount > 1) {
        app->settings.DataLang = 1;
        app->languageHooks.ChangeDataLang();
        EXPECT_EQ(p->cbRegion->itemText(0), DistrictItems(db, 1).value(0));
        EXPECT_EQ(p->cbMaterial->itemText(0), MaterialItems(db, 1).value(0));
    }
}

} // namespace
