// Rules that hold between the windows: keys belong to the window that took them, dialogs close with
// Escape, the update button leaves a working map, edge scrolling ends with its press, a city that went
// away is said, card links reach their pages, and the user manual opens or its absence is said.
#include "Catalogue.h"
#include "IcqPage.h"
#include "ProgramHarness.h"
#include "TfrmLang.h"
#include "UserManual.h"

#include <QDirIterator>
#include <QRegularExpression>

namespace {

// Answers every modal window that shows while it lives: records its text and presses the button
// `answer` names for it (a message box is accepted, another dialog rejected when there is none).
struct ModalAnswers {
    QStringList texts;
    std::function<QString(QWidget* modal)> answer = [](QWidget*) { return QString(); };
    QTimer poll;

    ModalAnswers() {
        QObject::connect(&poll, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible() || modal->property("answered").toBool()) return;
            modal->setProperty("answered", true);
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                texts << box->text();
            else if (auto* message = qobject_cast<TfrmMessage*>(modal))
                texts << message->txt->text();
            const QString name = answer(modal);
            if (auto* button = name.isEmpty() ? nullptr : modal->findChild<QAbstractButton*>(name))
                button->click();
            else if (auto* box = qobject_cast<QMessageBox*>(modal))
                box->accept();
            else if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
        });
        poll.start(20);
    }
};

void Press(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}
void Release(QWidget* target, int key) {
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

// Captures what the shell would open, for one test.
struct ShellLog {
    QStringList opened;
    bool accept = true; // false: as when no handler is installed
    ShellLog() {
        SetShellOpenHook([this](const QString& target) {
            opened << target;
            return accept;
        });
    }
    ~ShellLog() { SetShellOpenHook({}); }
};

// A program folder holding an English manual page; gives the page.
QString FakeManual(const QString& exeFolder) {
    QDir().mkpath(exeFolder + QStringLiteral("manual/en"));
    QFile index(exeFolder + QStringLiteral("manual/en/index.html"));
    EXPECT_TRUE(index.open(QIODevice::WriteOnly));
    return index.fileName();
}

struct MainWindowRules : MainWindow {};

TEST_F(MainWindowRules, DialogsCloseWithEscapeAndKeepTheirKeys) {
    ShellLog shell;
    // Should F1 reach the main window, it would open this page rather than wait on a message.
    QTemporaryDir exe;
    app->folders.ExeFolder = exe.path() + '/';
    FakeManual(app->folders.ExeFolder);
    frm->edDefocus->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == frm; }, 3000));
    struct Case {
        const char* name;
        std::function<int()> open; // shows the dialog modally; its result
    };
    const Case cases[] = {
        {"options",
         [&] {
             int result = -1;
             frm->runOptions = [&](TfrmOptions& options) { return result = options.exec(); };
             frm->btnOptions->click();
             frm->runOptions = nullptr;
             return result;
         }},
        {"quit",
         [&] {
             frm->close();
             return frm->isVisible() && !frm->timClose->isActive() ? int(TfrmQuit::Cancel) : -1;
         }},
        {"tips", [&] { return frm->frmHelp->exec(); }},
    };
    for (const Case& c : cases) {
        const bool threeD = frm->btn3D->isChecked();
        bool forced = false;
        // F3, F1 and Escape pressed and released inside the dialog; a dialog that stays open is closed
        // after a while, so the test fails instead of waiting for ever.
        QTimer keys;
        QObject::connect(&keys, &QTimer::timeout, [&] {
            auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!modal || !modal->isVisible()) return;
            keys.stop();
            QWidget* target = modal->focusWidget() ? modal->focusWidget() : modal;
            for (int key : {int(Qt::Key_F3), int(Qt::Key_F1), int(Qt::Key_Escape)}) {
                Press(target, key);
                Release(target, key);
            }
            QTimer::singleShot(1000, modal, [&forced, modal] {
                if (!modal->isVisible()) return;
                forced = true;
                modal->done(-2);
            });
        });
        keys.start(20);
        EXPECT_EQ(c.open(), int(QDialog::Rejected)) << c.name << ": Escape is Cancel";
        EXPECT_FALSE(forced) << c.name << ": Escape closed it";
        EXPECT_EQ(frm->btn3D->isChecked(), threeD) << c.name << ": F3 stays in the dialog";
        EXPECT_TRUE(shell.opened.isEmpty()) << c.name << ": F1 stays in the dialog";
        EXPECT_TRUE(frm->isVisible()) << c.name;
        EXPECT_TRUE(app->AppState.isEmpty()) << c.name;
    }

    // Another active window keeps its keys too; back in the main window, F3 works.
    QWidget other;
    auto* field = new QLineEdit(&other);
    other.show();
    other.activateWindow();
    field->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == &other; }, 3000));
    const bool threeD = frm->btn3D->isChecked();
    Press(field, Qt::Key_F3);
    EXPECT_EQ(frm->btn3D->isChecked(), threeD);
    other.hide();
    frm->activateWindow();
    frm->edDefocus->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == frm; }, 3000));
    Press(frm->edDefocus, Qt::Key_F3);
    EXPECT_NE(frm->btn3D->isChecked(), threeD);
}

TEST_F(MainWindowRules, TheUpdateButtonLeavesAWorkingMapOrReloadsAnUpdatedCity) {
    struct Case {
        const char* name;
        DownloadOutcome outcome;
        const char* stateAfterRun; // what the download window leaves in AppState
        bool reload;
    };
    const Case cases[] = {
        {"nothing fetched", {}, "", false},
        {"a failed download", {}, "error", false},
        {"the installer fetched", {true, false, false}, "quit", false},
        {"another city installed", {false, true, false}, "", false},
        {"the loaded city updated", {false, true, true}, "", true},
    };
    for (const Case& c : cases) {
        QString stateDuringRun;
        bool listShown = false;
        app->runDownload = [&](UpdateContext& ctx) {
            stateDuringRun = ctx.AppState;
            listShown = !ctx.AutoUpdate;
            ctx.Outcome = c.outcome;
            ctx.AppState = QString::fromLatin1(c.stateAfterRun);
        };
        frm->btnUpdate->click();
        EXPECT_EQ(stateDuringRun, QStringLiteral("back")) << c.name;
        EXPECT_TRUE(listShown) << c.name << ": the list window always asks";
        if (c.reload) {
            EXPECT_TRUE(WaitUntil([&] { return start->isVisible() && !frm->isVisible(); }, 5000)) << c.name;
            EXPECT_TRUE(WaitUntil([&] { return start->btnGo->isEnabled(); })) << c.name;
            EXPECT_FALSE(frm->map) << c.name << ": the old city is released";
            continue;
        }
        EXPECT_TRUE(app->AppState.isEmpty()) << c.name;
        EXPECT_TRUE(frm->isVisible()) << c.name;
        // The map takes gestures and draws again.
        frm->btnIncScale->click();
        frm->btnIncScale->click();
        const float x0 = frm->view.OriginX;
        const QPoint middle(frm->img->width() / 2, frm->img->height() / 2);
        Drag(frm->img, middle, middle + QPoint(40, 0));
        EXPECT_NEAR(frm->view.OriginX, x0 - frm->view.ToWorld(40), 0.01) << c.name;
        EXPECT_TRUE(app->AppState.isEmpty()) << c.name;
        frm->btnFullMapClick();
    }
    app->runDownload = nullptr;
}

TEST_F(MainWindowRules, EdgeScrollingEndsWithItsPress) {
    TMapImage* img = frm->img;
    frm->btnIncScale->click();
    frm->btnIncScale->click();
    const QPoint edge(img->width() - 5, img->height() / 2);
    const QPoint middle(img->width() / 2, img->height() / 2);
    struct Case {
        const char* name;
        std::function<void()> afterPress;
        QPoint release;
    };
    const Case cases[] = {
        {"released at the edge", [] {}, edge},
        {"held out of the band, then released", [&] { Mouse(img, QEvent::MouseMove, middle); }, middle},
        {"held off the map, then released",
         [&] {
             QEvent leave(QEvent::Leave);
             QApplication::sendEvent(img, &leave);
         },
         middle},
    };
    for (const Case& c : cases) {
        frm->btnFullMapClick();
        frm->btnIncScale->click();
        frm->btnIncScale->click();
        Mouse(img, QEvent::MouseMove, middle);
        Mouse(img, QEvent::MouseMove, edge);
        const float x0 = frm->view.OriginX;
        Mouse(img, QEvent::MouseButtonPress, edge);
        ASSERT_TRUE(frm->timMove->isActive()) << c.name;
        EXPECT_TRUE(WaitUntil([&] { return frm->view.OriginX > x0; }, 3000)) << c.name;
        c.afterPress();
        Mouse(img, QEvent::MouseButtonRelease, c.release);
        EXPECT_FALSE(frm->timMove->isActive()) << c.name;
        EXPECT_FALSE(frm->motion->EdgeScrolling) << c.name;
        // Nothing keeps scrolling or stopping other motions afterwards.
        const float x1 = frm->view.OriginX;
        frm->motion->StopMotion = false;
        Mouse(img, QEvent::MouseMove, middle + QPoint(1, 1));
        Mouse(img, QEvent::MouseMove, edge + QPoint(1, 1)); // hovering at the edge does not scroll
        WaitUntil([] { return false; }, 200);
        EXPECT_FLOAT_EQ(frm->view.OriginX, x1) << c.name;
        EXPECT_FALSE(frm->motion->StopMotion) << c.name;
        EXPECT_TRUE(app->AppState.isEmpty()) << c.name;
    }
}

TEST_F(MainWindowRules, AnIcqLinkOpensTheConfiguredMessagePage) {
    // The page's address: the configured site, the number encoded into the query.
    struct Case {
        QString base, number, page;
    } cases[] = {
        {"http://icq.example/", "123456789",
         "http://icq.example/people/cmd.php?uin=123456789&action=message"},
        {"http://icq.example", " 42 ", "http://icq.example/people/cmd.php?uin=42&action=message"},
        {"http://icq.example/", "1&action=x#y",
         "http://icq.example/people/cmd.php?uin=1%26action%3Dx%23y&action=message"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IcqMessagePage(c.base, c.number), c.page) << c.number.toStdString();
    EXPECT_TRUE(IcqSite().endsWith(QStringLiteral(".example/"))) << "a placeholder until configured";
    auto user = TempSettingsStore::User();
    user->setValue("IcqSite", "http://127.0.0.1:9/icq");
    user->sync();
    EXPECT_EQ(IcqSite(), QStringLiteral("http://127.0.0.1:9/icq/"));

    // A card's ICQ link goes to that page.
    CityDb& db = *app->db;
    int org = -1;
    for (size_t i = 0; i < db.Orgs.size() && org < 0; ++i)
        if (!db.Orgs[i].page) org = int(i);
    ASSERT_GE(org, 0);
    db.Orgs[std::size_t(org)].icq = TSharedText(QStringLiteral("123456789"));
    TCardList* list = frm->list;
    list->ClearResults();
    list->ShowOrgCards(QStringLiteral("ICQ"), Tai{org}, -1);
    ASSERT_EQ(list->cards.crds.size(), 1u);
    if (list->cards.crds[0].Collapsed) list->imgCardsMouseUp(Qt::LeftButton, 100, 5, QPoint());
    ShellLog shell;
    const TCard& card = list->cards.crds[0];
    ASSERT_FALSE(card.Collapsed);
    bool clicked = false;
    for (const TBlock& b : card.blocks)
        for (const Ttxt& t : b.txt)
            if (t.link == TLink::icq && !clicked) {
                list->imgCardsMouseUp(Qt::LeftButton, t.left + 2, card.top + b.top + t.top + 2, QPoint());
                clicked = true;
            }
    ASSERT_TRUE(clicked);
    EXPECT_EQ(shell.opened, QStringList{QStringLiteral(
                                "http://127.0.0.1:9/icq/people/cmd.php?uin=123456789&action=message")});
}

TEST(UserManual, ShippedBesideTheProgramInBothLanguagesWithWorkingLinks) {
#ifdef TESSARA_EXE
    const QString exeFolder = QFileInfo(QStringLiteral(TESSARA_EXE)).absolutePath() + '/';
    EXPECT_TRUE(UserManualPage(exeFolder, LangRussian).endsWith(QStringLiteral("manual/ru/index.html")));
    EXPECT_TRUE(UserManualPage(exeFolder, LangEnglish).endsWith(QStringLiteral("manual/en/index.html")));
    // Every relative link of every page leads to a file of the manual.
    const QRegularExpression href(QStringLiteral("(?:href|src)=\"([^\"#:]+)(#[^\"]*)?\""));
    int pages = 0;
    QDirIterator it(exeFolder + QStringLiteral("manual"), {QStringLiteral("*.html")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString page = it.next();
        ++pages;
        QFile f(page);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(f.readAll());
        for (auto m = href.globalMatch(html); m.hasNext();) {
            const QString target = QFileInfo(page).absolutePath() + '/' + m.next().captured(1);
            EXPECT_TRUE(QFileInfo(target).isFile()) << page.toStdString() << " -> " << target.toStdString();
        }
    }
    EXPECT_GE(pages, 3);
#else
    GTEST_SKIP() << "the program is not built";
#endif
    // Installed, the program in bin/ finds it under share/doc/tessara.
    QTemporaryDir prefix;
    QDir(prefix.path()).mkpath(QStringLiteral("bin"));
    QDir(prefix.path()).mkpath(QStringLiteral("share/doc/tessara/manual/en"));
    QFile page(prefix.path() + QStringLiteral("/share/doc/tessara/manual/en/index.html"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.close();
    EXPECT_EQ(
        QFileInfo(UserManualPage(prefix.path() + QStringLiteral("/bin/"), LangEnglish)).canonicalFilePath(),
        QFileInfo(page).canonicalFilePath());
    EXPECT_TRUE(UserManualPage(prefix.path() + QStringLiteral("/opt/bin/"), LangEnglish).isEmpty());
}

TEST_F(MainWindowRules, HelpOpensTheManualOrSaysItIsMissing) {
    QTemporaryDir folder;
    const QString withManual = folder.path() + QStringLiteral("/with/");
    const QString index = FakeManual(withManual);
    const QString without = folder.path() + QStringLiteral("/without/");
    QDir().mkpath(without);
    frm->edDefocus->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == frm; }, 3000));

    struct Way {
        const char* name;
        std::function<void()> ask;
    };
    const Way ways[] = {
        {"F1", [&] { Press(frm->edDefocus, Qt::Key_F1); }},
        {"help button", [&] { frm->btnHelp->click(); }},
        {"tips window",
         [&] {
             frm->frmHelp->show();
             frm->frmHelp->btnHelp->click();
             frm->frmHelp->hide();
         }},
    };
    enum Manual { Opens, NoBrowser, Missing };
    for (const Way& w : ways) {
        for (const Manual m : {Opens, NoBrowser, Missing}) {
            const bool present = m != Missing;
            app->folders.ExeFolder = present ? withManual : without;
            frm->frmHelp->exeFolder = app->folders.ExeFolder;
            ShellLog shell;
            shell.accept = m == Opens;
            // The message of the previous round hands the activation back to the main window.
            frm->activateWindow();
            ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == frm; }, 3000));
            frm->edDefocus->setFocus();
            ModalAnswers answers;
            w.ask();
            WaitUntil([&] { return !answers.texts.isEmpty(); }, m == Opens ? 100 : 3000);
            if (m == Opens) {
                EXPECT_EQ(shell.opened, QStringList{index}) << w.name;
                EXPECT_TRUE(answers.texts.isEmpty()) << w.name;
            } else if (m == NoBrowser) {
                ASSERT_EQ(answers.texts.size(), 1) << w.name;
                EXPECT_EQ(answers.texts[0],
                          LangText(u"ManualByHand", LangEnglish) + '\n' + QDir::toNativeSeparators(index))
                    << w.name;
            } else {
                EXPECT_TRUE(shell.opened.isEmpty()) << w.name;
                ASSERT_EQ(answers.texts.size(), 1) << w.name;
                EXPECT_TRUE(answers.texts[0].startsWith(LangText(u"NoManual", LangEnglish))) << w.name;
                EXPECT_TRUE(
                    answers.texts[0].contains(QDir::toNativeSeparators(without + QStringLiteral("manual"))))
                    << answers.texts[0].toStdString();
            }
        }
    }
}

// A first start: the interface language is asked before the start window is usable.
struct FirstStart : Program {
    void SetUp() override {
        Program::SetUp();
        auto user = TempSettingsStore::User();
        user->remove("ShellLang");
        user->sync();
    }
};

TEST_F(FirstStart, AKeyThatClosedTheLanguageWindowDoesNotActInTheStartWindow) {
    WriteCity(CityFolder(), QStringLiteral("Demograd"), QStringLiteral("Demograd"));
    for (const int key : {int(Qt::Key_Return), int(Qt::Key_Escape)}) {
        start.reset();
        app.reset();
        closed = false;
        auto user = TempSettingsStore::User();
        user->remove("ShellLang");
        user->sync();
        // The language window takes the press and closes; the release comes to the start window later.
        QTimer language;
        QObject::connect(&language, &QTimer::timeout, [&] {
            auto* lang = qobject_cast<TfrmLang*>(QApplication::activeModalWidget());
            if (!lang || !lang->isVisible()) return;
            language.stop();
            Press(lang->focusWidget() ? lang->focusWidget() : lang, key);
        });
        language.start(20);
        Open();
        ASSERT_FALSE(language.isActive()) << "the language window was asked";
        ASSERT_EQ(app->settings.ShellLang, LangRussian);
        Release(start->focusWidget() ? start->focusWidget() : start.get(), key);
        WaitUntil([] { return false; }, 100);
        EXPECT_TRUE(start->isVisible()) << key;
        EXPECT_FALSE(closed) << key;
        EXPECT_TRUE(start->btnGo->isEnabled()) << key;
        EXPECT_FALSE(start->tim->isActive()) << key;
        EXPECT_EQ(start->frmMain, nullptr) << key;

        // The same key pressed and released in the start window acts.
        QWidget* target = start->focusWidget() ? start->focusWidget() : start.get();
        Press(target, key);
        Release(target, key);
        if (key == Qt::Key_Escape) {
            EXPECT_TRUE(WaitUntil([&] { return closed; }, 3000));
            continue;
        }
        ASSERT_TRUE(WaitUntil([&] { return start->frmMain && start->frmMain->isVisible(); }));
        AnswerModal("btnYes");
        start->frmMain->close();
        EXPECT_TRUE(WaitUntil([&] { return closed; }, 5000));
    }
}

// Automatic updates at start, where the download leaves the chosen city missing.
struct UpdateAtStart : Program {
    void SetUp() override {
        Program::SetUp();
        auto user = TempSettingsStore::User();
        user->setValue("AutoUpdate", true);
        user->sync();
    }
};

TEST_F(UpdateAtStart, ACityGoneAfterTheDownloadIsSaidAndTheWindowStaysUsable) {
    struct Case {
        const char* name;
        bool otherCity;
    };
    for (const Case c : {Case{"another city remains", true}, Case{"no city remains", false}}) {
        const QString demograd =
            WriteCity(CityFolder(), QStringLiteral("Demograd"), QStringLiteral("Demograd"));
        if (c.otherCity) WriteCity(CityFolder(), QStringLiteral("Altgrad"), QStringLiteral("Altgrad"));
        auto user = TempSettingsStore::User();
        user->setValue("LastCity", "Demograd");
        user->sync();
        Open(true);
        ASSERT_EQ(app->LastCity, QStringLiteral("Demograd")) << c.name;
        int runs = 0;
        app->runDownload = [&](UpdateContext& ctx) {
            ++runs;
            ctx.Outcome = {};
            if (runs == 1) {
                QFile::remove(demograd); // a run that failed after the old file went
            } else {
                WriteCity(CityFolder(), QStringLiteral("Demograd"), QStringLiteral("Demograd"));
                ctx.Outcome.DataInstalled = true;
            }
            ctx.Cities = BuildCatalogue(ctx.DataFolder, ctx.ExeFolder);
            ctx.CurrentCity = FindCity(ctx.Cities, QStringLiteral("Demograd"));
        };
        ModalAnswers answers;
        answers.answer = [](QWidget* modal) {
            return qobject_cast<TfrmMessage*>(modal) ? QStringLiteral("btnYes") : QString();
        };
        start->btnGo->click();
        ASSERT_TRUE(WaitUntil([&] { return !answers.texts.isEmpty() && start->btnGo->isEnabled(); }, 5000))
            << c.name;
        EXPECT_TRUE(start->isVisible()) << c.name;
        EXPECT_FALSE(closed) << c.name;
        EXPECT_EQ(start->frmMain, nullptr) << c.name;
        EXPECT_TRUE(start->cbCity->isVisible()) << c.name;
        if (c.otherCity) {
            EXPECT_EQ(answers.texts, QStringList{WithLineBreaks(LangText(u"CityGone", LangEnglish))})
                << c.name;
            EXPECT_EQ(start->cbCity->count(), 1) << c.name;
            EXPECT_EQ(app->LastCity, QStringLiteral("Altgrad")) << c.name;
        } else {
            // Nothing left: the download is offered as at a first start, and the city comes back.
            EXPECT_EQ(answers.texts.value(0), WithLineBreaks(LangText(u"NotInstalled", LangEnglish)))
                << c.name;
            EXPECT_EQ(runs, 2) << c.name;
            EXPECT_EQ(start->cbCity->count(), 1) << c.name;
        }
        start.reset();
        app.reset();
        for (const QString& name : QDir(CityFolder()).entryList({QStringLiteral("*.gis")}))
            QFile::remove(CityFolder() + name);
    }
}

} // namespace
