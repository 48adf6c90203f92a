#include "AppContext.h"
#include "ColorSchemeStore.h"
#include "GroupWidgets.h"
#include "MapCursors.h"
#include "Settings.h"
#include "TempSettingsStore.h"
#include "TextTable.h"
#include "TfrmColors.h"
#include "TfrmLang.h"
#include "TfrmOptions.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

template <typename T> T* Child(QWidget& w, const char* name) {
    T* c = w.findChild<T*>(QString::fromLatin1(name));
    if (!c) ADD_FAILURE() << "no control " << name;
    return c;
}

struct Windows : ::testing::Test {
    TempSettingsStore store;
    Settings s;
    ColorSchemeTable colors;
    int recolours = 0;

    Windows() {
        FillColorSchemes(colors);
        SetDefaults(s);
        s.ShellLang = LangRussian;
    }
};

} // namespace

TEST_F(Windows, LanguageWindowKeepsItsDesignedCaptionUntilALanguageIsChosen) {
    s.ShellLang = -1;
    TfrmLang lang(s);
    lang.FormShow();
    EXPECT_EQ(lang.windowTitle(), QStringLiteral("Тессара. Выбор языка"));
    EXPECT_EQ(Child<QWidget>(lang, "pnl")->property("title").toString(), QStringLiteral("Интерфейс"));
    s.ShellLang = LangEnglish;
    lang.FormShow();
    EXPECT_EQ(lang.windowTitle(), "Tessara. Select language");
    EXPECT_EQ(Child<QWidget>(lang, "pnl")->property("title").toString(), QStringLiteral("Интерфейс"));
}

TEST_F(Windows, LanguageWindowGivesTheChosenEntry) {
    TfrmLang lang(s);
    QTimer::singleShot(0, &lang, [&] {
        EXPECT_EQ(lang.cbLang->currentIndex(), 0) << "the first entry is preselected";
        lang.cbLang->setCurrentIndex(1);
        lang.btnOK->click();
    });
    EXPECT_EQ(lang.Choose(LangNames()), 1);
}

TEST_F(Windows, OptionsShowTheSettingsWithTheirInversions) {
    s.smooth = false;
    s.jump = false;
    s.ContourText = false;
    s.flat = true;
    s.blink = false;
    s.position = 0;
    s.ScaleMode = 1;
    s.PhoneBook = "/usr/bin/phones";
    TfrmOptions w(s, colors);
    w.SetDataLangNames({"Русский", "English", "Deutsch"});
    s.DataLang = 2;
    w.FormShow();
    EXPECT_TRUE(w.cbSmooth->isChecked());
    EXPECT_TRUE(w.cbPath->isChecked());
    EXPECT_TRUE(w.cbContourText->isChecked());
    EXPECT_TRUE(w.cbFlat->isChecked());
    EXPECT_FALSE(w.cbBlink->isChecked());
    EXPECT_TRUE(w.cbLeft->isChecked() && !w.cbRight->isChecked());
    EXPECT_TRUE(w.cbCorner->isChecked() && !w.cbCenter->isChecked());
    EXPECT_TRUE(w.cbGDI->isChecked() && !w.cbOpenGL->isChecked());
    EXPECT_TRUE(w.cbOpenGL->isEnabled()) << "the OpenGL renderer can be chosen";
    EXPECT_EQ(w.edApp->text(), "/usr/bin/phones");
    EXPECT_EQ(w.cbData->currentIndex(), 2);
    EXPECT_EQ(w.cbInterface->currentText(), QStringLiteral("Русский"));
}

TEST_F(Windows, OptionsCaptionsFollowTheInterfaceLanguage) {
    s.ShellLang = LangEnglish;
    TfrmOptions w(s, colors);
    w.FormShow();
    EXPECT_EQ(w.windowTitle(), "Options");
    EXPECT_EQ(w.cbFlat->text(), " Don't show a building height (3D)");
    EXPECT_EQ(w.txtInterface->text(), "Interface:");
    EXPECT_EQ(Child<QLabel>(w, "txtCPU")->text(), " Lower CPU usage");
    EXPECT_EQ(w.cbShowFotoFirst->text(), QStringLiteral(" Показывать фотографии зданий"));
    EXPECT_EQ(w.cbGDI->text(), "GDI+");
    EXPECT_EQ(w.edApp->placeholderText(), "Enter outside phonebook");
}

TEST_F(Windows, PairedBoxesActAsRadioButtons) {
    TfrmOptions w(s, colors);
    w.FormShow();
    ASSERT_TRUE(w.cbRight->isChecked());
    w.cbRight->click(); // would leave neither checked
    EXPECT_TRUE(w.cbRight->isChecked());
    EXPECT_FALSE(w.cbLeft->isChecked());
    w.cbLeft->click();
    EXPECT_TRUE(w.cbLeft->isChecked());
    EXPECT_FALSE(w.cbRight->isChecked());
    emit w.imgCorner->clicked();
    EXPECT_TRUE(w.cbCorner->isChecked());
    EXPECT_FALSE(w.cbCenter->isChecked());
    emit w.imgCorner->clicked(); // already checked: stays
    EXPECT_TRUE(w.cbCorner->isChecked());
    w.cbGDI->click();
    EXPECT_TRUE(w.cbGDI->isChecked());
}

TEST_F(Windows, OkStoresEveryControlAndWritesTheWholeList) {
    TfrmOptions w(s, colors);
    w.chooseFile = [](QWidget*) { return QStringLiteral("/opt/book/run"); };
    w.show();
    w.cbSmooth->click();
    w.cbPath->click();
    w.cbMetro->click();
    w.cbLeft->click();
    w.imgCorner->clicked();
    w.cbInterface->setCurrentIndex(LangEnglish);
    w.btnBrowse->click();
    EXPECT_EQ(w.edApp->text(), "/opt/book/run");
    w.btnOK->click();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_FALSE(s.smooth);
    EXPECT_FALSE(s.SmoothNow);
    EXPECT_FALSE(s.jump);
    EXPECT_FALSE(s.metro);
    EXPECT_EQ(s.position, 0);
    EXPECT_EQ(s.ScaleMode, 1);
    EXPECT_EQ(s.ShellLang, LangEnglish);
    EXPECT_EQ(s.PhoneBook, "/opt/book/run");

    auto u = TempSettingsStore::User();
    for (const char* n :
         {"smooth", "flat",        "AutoScrollMap",  "ShowHelp",   "jump",      "blink",     "ShowFotoFirst",
          "invert", "EconomPrint", "position",       "ScaleMode",  "GrafMode",  "PhoneBook", "ContourText",
          "metro",  "marks",       "HideRubrikator", "AutoUpdate", "ShellLang", "Port"})
        EXPECT_TRUE(u->contains(n)) << n;
    EXPECT_EQ(u->value("smooth").toInt(), 0);
    EXPECT_EQ(u->value("ShellLang").toInt(), 1);
    EXPECT_EQ(u->value("Port").toInt(), 12345);
}

TEST_F(Windows, ClearedPhoneBookIsStoredEmpty) {
    s.PhoneBook = "/opt/book/run";
    TfrmOptions w(s, colors);
    w.show();
    w.edApp->clear();
    w.btnOK->click();
    EXPECT_TRUE(s.PhoneBook.isEmpty());
    EXPECT_TRUE(TempSettingsStore::User()->value("PhoneBook").toString().isEmpty());
}

TEST_F(Windows, EscapeClosesOptionsWithoutStoring) {
    TfrmOptions w(s, colors);
    w.show();
    w.cbSmooth->click();
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(w.cbSmooth, &esc);
    EXPECT_EQ(w.result(), QDialog::Rejected);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(s.smooth);
    EXPECT_TRUE(TempSettingsStore::User()->allKeys().isEmpty());
}

// Qt's own dialogs follow the interface language from the start and when it changes.
TEST_F(Windows, QtDialogTextsFollowTheInterfaceLanguage) {
    const auto cancelText = [] {
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        return box.button(QDialogButtonBox::Cancel)->text().remove(u'&');
    };
    auto user = TempSettingsStore::User();
    user->setValue("ShellLang", LangRussian);
    user->sync();
    {
        AppContext app;
        app.LoadSettings();
        EXPECT_EQ(cancelText(), QStringLiteral("Отмена"));
        app.settings.ShellLang = LangEnglish;
        app.languageHooks.ChangeShellLang();
        EXPECT_EQ(cancelText(), QStringLiteral("Cancel"));
        app.settings.ShellLang = LangRussian;
        app.languageHooks.ChangeShellLang();
        EXPECT_EQ(cancelText(), QStringLiteral("Отмена"));
        app.settings.ShellLang = LangEnglish;
        app.languageHooks.ChangeShellLang();
    }
    BindShellLang(nullptr);
}

TEST_F(Windows, ColoursWindowShowsTheActiveScheme) {
    ApplyColorScheme(colors, s.ColorScheme);
    TfrmColors w(s, colors);
    w.FormShow();
    EXPECT_EQ(w.cbColorScheme->currentText(), QStringLiteral("Тессара"));
    EXPECT_EQ(w.cbColorScheme->count(), 10);
    EXPECT_EQ(w.cbColorScheme->itemText(0), QStringLiteral("Пользовательская"));
    EXPECT_EQ(Child<TColorButton>(w, "btnBusWay")->color(), colors.schemes[7].BusWayColor);
    EXPECT_EQ(Child<TColorButton>(w, "btnDead")->color(), colors.schemes[7].DeadColor);
    EXPECT_EQ(Child<QLabel>(w, "txtFound")->text(), QStringLiteral("Найденный объект:"));
    EXPECT_EQ(Child<QLabel>(w, "txtFields")->text(), QStringLiteral("Территории"));
}

// The window is sized with its captions before it is placed: centred over its parent, whole on screen.
TEST_F(Windows, ColoursWindowOpensCentredAndWholeOnScreen) {
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    for (const QRect parentRect : {QRect(avail.topLeft() + QPoint(20, 30), QSize(760, 500)),
                                   QRect(avail.topRight() - QPoint(300, -10), QSize(280, 200))}) {
        QWidget parent;
        parent.setGeometry(parentRect);
        parent.show();
        TfrmColors w(s, colors, &parent);
        w.show();
        const QRect placed = w.frameGeometry();
        EXPECT_TRUE(avail.contains(placed)) << placed.x() << "," << placed.y() << " " << placed.width() << "x"
                                            << placed.height();
        EXPECT_EQ(w.size(), w.sizeHint());
        if (parentRect.width() > 400)
            EXPECT_LE((placed.center() - parent.frameGeometry().center()).manhattanLength(), 4);
        w.hide();
    }
}

TEST_F(Windows, EditingAColourSwitchesToTheUserSchemeAndSavesAll) {
    ApplyColorScheme(colors, 7);
    TfrmColors w(s, colors);
    w.colorsChanged = [this] { ++recolours; };
    w.pickColor = [](const QColor&, QWidget*) -> std::optional<QColor> { return QColor(0x10, 0x20, 0x30); };
    w.show();
    Child<TColorButton>(w, "btnBusWay")->click();
    EXPECT_EQ(w.cbColorScheme->currentIndex(), 0);
    EXPECT_EQ(s.ColorScheme, 0);
    EXPECT_EQ(colors.active().BusWayColor, 0x302010u);
    EXPECT_EQ(colors.active().StopFoundColor, 0x302010u) << "found stops take the route colour";
    EXPECT_EQ(colors.active().ForestColor, colors.schemes[7].ForestColor) << "colours not shown are kept";
    EXPECT_GE(recolours, 1);
    auto u = TempSettingsStore::User();
    EXPECT_EQ(u->allKeys().size(), 47);
    EXPECT_EQ(u->value("ColorScheme").toInt(), 0);
    EXPECT_EQ(u->value("StopFoundColor").toLongLong(), 0x302010);
    EXPECT_EQ(u->value("ForestColor").toLongLong(), colors.schemes[7].ForestColor);
}

TEST_F(Windows, CancelledColourDialogChangesNothing) {
    ApplyColorScheme(colors, 7);
    TfrmColors w(s, colors);
    w.pickColor = [](const QColor&, QWidget*) -> std::optional<QColor> { return std::nullopt; };
    w.show();
    Child<TColorButton>(w, "btnWater")->click();
    EXPECT_EQ(s.ColorScheme, 7);
    EXPECT_TRUE(TempSettingsStore::User()->allKeys().isEmpty());
}

TEST_F(Windows, ChoosingAndPreviewingSchemes) {
    ApplyColorScheme(colors, 7);
    TfrmColors w(s, colors);
    w.colorsChanged = [this] { ++recolours; };
    w.show();
    w.cbColorScheme->setCurrentIndex(3);
    EXPECT_EQ(s.ColorScheme, 3);
    EXPECT_EQ(colors.active().liveColor, colors.schemes[3].liveColor);
    EXPECT_EQ(Child<TColorButton>(w, "btnLiveB")->color(), colors.schemes[3].liveColor);
    EXPECT_EQ(TempSettingsStore::User()->value("ColorScheme").toInt(), 3);

    // Hovering an entry of the open list recolours without saving; closing returns to the choice.
    w.cbColorScheme->showPopup();
    ASSERT_TRUE(w.cbColorScheme->view()->isVisible());
    const int before = recolours;
    emit w.cbColorScheme->highlighted(5);
    EXPECT_EQ(colors.active().kinderColor, colors.schemes[5].kinderColor);
    EXPECT_EQ(Child<TColorButton>(w, "btnKinder")->color(), colors.schemes[5].kinderColor);
    EXPECT_GT(recolours, before);
    EXPECT_EQ(TempSettingsStore::User()->value("ColorScheme").toInt(), 3);
    w.cbColorScheme->hidePopup();
    EXPECT_EQ(s.ColorScheme, 3);
    EXPECT_EQ(colors.active().kinderColor, colors.schemes[3].kinderColor);
}

TEST_F(Windows, CancellingColoursFromOptionsRestoresMemoryAndStore) {
    ApplyColorScheme(colors, 7);
    SaveColors(7, colors.active());
    TfrmOptions w(s, colors);
    w.colorsChanged = [this] { ++recolours; };
    double opacityWhileOpen = 1;
    w.runColors = [&](TfrmColors& c) {
        opacityWhileOpen = w.windowOpacity();
        c.show();
        c.pickColor = [](const QColor&, QWidget*) -> std::optional<QColor> { return QColor(1, 2, 3); };
        Child<TColorButton>(c, "btnRoad")->click();
        Child<TColorButton>(c, "btnGarden")->click();
        EXPECT_EQ(s.ColorScheme, 0);
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&c, &esc);
        return c.result();
    };
    w.show();
    w.btnChangeColors->click();
    EXPECT_LT(opacityWhileOpen, 0.5);
    EXPECT_EQ(w.windowOpacity(), 1.0);
    EXPECT_EQ(s.ColorScheme, 7);
    EXPECT_EQ(colors.active().RoadColor, colors.schemes[7].RoadColor);
    EXPECT_EQ(colors.active().GardenColor, colors.schemes[7].GardenColor);
    EXPECT_EQ(TempSettingsStore::User()->value("ColorScheme").toInt(), 7);
    Settings reread;
    ColorSchemeTable again;
    FillColorSchemes(again);
    ReadSettings(reread, again);
    EXPECT_EQ(again.active().RoadColor, colors.schemes[7].RoadColor);
}

// Pictures of the windows for looking at them: set TESSARA_SCREENSHOTS to a folder.
TEST_F(Windows, Screenshots) {
    const QString dir = qEnvironmentVariable("TESSARA_SCREENSHOTS");
    if (dir.isEmpty()) GTEST_SKIP() << "TESSARA_SCREENSHOTS not set";
    QDir().mkpath(dir);
    ApplyColorScheme(colors, 7);
    for (int lang : {LangRussian, LangEnglish}) {
        s.ShellLang = lang;
        const QString suffix = lang == LangRussian ? "ru" : "en";
        auto shoot = [&](QWidget& w, const QString& name) {
            w.show();
            w.raise();
            w.activateWindow();
            for (int i = 0; i < 20; ++i)
                QApplication::processEvents();
            QScreen* screen = w.screen();
            const QPixmap frame = screen->grabWindow(0).copy(w.frameGeometry());
            (frame.isNull() || frame.width() < 10 ? w.grab() : frame)
                .save(dir + "/" + name + "-" + suffix + ".png");
            w.hide();
        };
        TfrmLang lang1(s);
        lang1.cbLang->addItems(LangNames());
        shoot(lang1, "lang");
        TfrmOptions options(s, colors);
        options.SetDataLangNames({"Русский", "English"});
        shoot(options, "options");
        TfrmColors colours(s, colors);
        shoot(colours, "colors");
    }
    // The cursors, enlarged on a grey ground.
    QImage sheet(15 * 40, 40, QImage::Format_RGB32);
    sheet.fill(QColor(150, 170, 150));
    QPainter p(&sheet);
    for (int n = 1; n <= MapCursorCount; ++n)
        p.drawImage((n - 1) * 40 + 4, 4, DrawCursorImage(n));
    p.end();
    sheet.scaled(sheet.size() * 2).save(dir + "/cursors.png");
}
