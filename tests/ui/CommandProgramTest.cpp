// The program as another program and its user reach it: address requests over the command server's
// socket, the quick-list buttons, the history buttons, the cards' menu (copy, print to PDF) and the
// telephone-book button.
#include "CardExport.h"
#include "PrintJob.h"
#include "CardText.h"
#include "CommandServer.h"
#include "ProgramHarness.h"
#include "QuickLists.h"

#include <QClipboard>
#include <QMenu>
#include <QPrinter>
#include <QTcpServer>
#include <QTcpSocket>
#include <unistd.h>

namespace {

quint16 FreePort() {
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    return probe.serverPort();
}

// Pumps events for `ms` whatever happens: for checks that something does not happen.
void Idle(int ms) {
    WaitUntil([] { return false; }, ms);
}

QString PdfText(const QString& file) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    if (!p.waitForFinished(20000)) return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Prints the lines, answering the error box and keeping what it said.
bool PrintAnsweringTheError(CardExport& menu, const QStringList& lines, QString& said) {
    ReadNextMessage(said);
    return menu.PrintLines(lines);
}

} // namespace

// The main window on a port of the test's choosing; each test starts the program itself.
struct CommandWindow : MainWindow {
    quint16 port = 0;
    std::unique_ptr<QTcpServer> taken; // holds the port before the program starts, when asked

    void SetUp() override { Program::SetUp(); }
    void StartProgram(bool portTaken) {
        if (portTaken) {
            taken = std::make_unique<QTcpServer>();
            ASSERT_TRUE(taken->listen(QHostAddress::LocalHost, 0));
            port = taken->serverPort();
        } else {
            port = FreePort();
        }
        auto user = TempSettingsStore::User();
        user->setValue("Port", port);
        user->sync();
        WriteCity(CityFolder(), QStringLiteral("Demograd"), QStringLiteral("Demograd"));
        Open();
        frm = Next();
        ASSERT_NE(frm, nullptr);
    }

    CityDb& db() { return *app->db; }
    // Sends lines on a connection of their own and waits until the server has handed them over.
    void Send(const QByteArray& lines, const QHostAddress& to = QHostAddress(QHostAddress::LocalHost)) {
        const quint64 before = frm->srv->LinesServed();
        QTcpSocket s;
        s.connectToHost(to, port);
        ASSERT_TRUE(s.waitForConnected(3000)) << to.toString().toStdString();
        s.write(lines);
        ASSERT_TRUE(s.waitForBytesWritten(3000));
        ASSERT_TRUE(
            WaitUntil([&] { return frm->srv->LinesServed() == before + quint64(lines.count('\n')); }, 5000));
    }
    QString StreetName(int street) { return db().Streets[std::size_t(street)].Name.value(0); }
};

TEST_F(CommandWindow, AddressRequestsOverTheSocket) {
    StartProgram(false);
    ASSERT_TRUE(frm->srv->IsListening());
    for (const QHostAddress& a : frm->srv->Addresses())
        EXPECT_TRUE(a.isLoopback()) << a.toString().toStdString();

    // A house with a street and a number, another street with a shape, and a third whose shape is gone.
    int building = -1, street = -1, other = -1, shapeless = -1;
    for (std::size_t b = 0; b < db().Buildings.size() && building < 0; ++b) {
        const TBuilding& x = db().Buildings[b];
        const QString num = InLang(x.num, 0);
        if (x.street < 0 || num.isEmpty() || db().Streets[std::size_t(x.street)].shape.size() < 2) continue;
        const std::vector<int> same = FindBuildings(db(), x.street, num);
        if (same.size() == 1 && same.front() == int(b)) building = int(b), street = x.street;
    }
    for (std::size_t s = 0; s < db().Streets.size(); ++s) {
        if (int(s) == street || db().Streets[s].shape.size() < 2) continue;
        (other < 0 ? other : shapeless) = int(s);
        if (shapeless >= 0) break;
    }
    ASSERT_GE(building, 0);
    ASSERT_GE(other, 0);
    ASSERT_GE(shapeless, 0);
    db().Streets[std::size_t(shapeless)].shape.clear();
    const QString house = StreetName(street) + ", " + InLang(db().Buildings[std::size_t(building)].num, 0);

    struct Case {
        QString line;
        TObjType kind; // otNone: nothing is shown
        int shown;
        QHostAddress to = QHostAddress(QHostAddress::LocalHost);
    } cases[] = {
        {"ShowAdr;" + house, otBuild, building},
        {"ShowAdr;" + house.toUpper(), otBuild, building},             // streets are found in any letter case
        {"ShowAdr;" + StreetName(other) + ", 9999Я", otStreet, other}, // no such house: the street
        {"ShowAdr;" + StreetName(other), otStreet, other},
        {"ShowAdr;Несуществующая улица, 1", otNone, -1},
        {"ShowAdr;" + StreetName(shapeless), otNone, -1},
        {"showadr;" + house, otNone, -1},
        {"ShowAdr " + house, otNone, -1},
        {"ShowAdr;" + house, otBuild, building, QHostAddress(QHostAddress::LocalHostIPv6)},
    };
    for (const Case& c : cases) {
        if (c.to.protocol() == QAbstractSocket::IPv6Protocol && frm->srv->Addresses().size() < 2) continue;
        ClearFound(db());
        frm->display.ShownObjects = Tbo{};
        Send(c.line.toUtf8() + "\r\n", c.to);
        if (c.kind == otNone) {
            Idle(300); // three ticks of the request timer
            EXPECT_TRUE(frm->display.ShownObjects.ids.empty()) << c.line.toStdString();
            EXPECT_FALSE(db().Buildings[std::size_t(building)].IsFound) << c.line.toStdString();
            EXPECT_FALSE(db().Streets[std::size_t(shapeless)].IsFound) << c.line.toStdString();
            continue;
        }
        ASSERT_TRUE(WaitUntil([&] { return !frm->display.ShownObjects.ids.empty(); }, 3000))
            << c.line.toStdString();
        EXPECT_EQ(frm->display.ShownObjects.tip, c.kind) << c.line.toStdString();
        EXPECT_EQ(frm->display.ShownObjects.ids, Tai{c.shown}) << c.line.toStdString();
        EXPECT_TRUE(frm->timBlink->isActive()) << c.line.toStdString();
        const TCommonObj& shown = c.kind == otBuild
                                      ? static_cast<const TCommonObj&>(db().Buildings[std::size_t(c.shown)])
                                      : db().Streets[std::size_t(c.shown)];
        EXPECT_TRUE(shown.IsFound) << c.line.toStdString();
    }

    // Two requests before the timer runs: only the second is shown, and nothing after it.
    auto* timer = frm->findChild<QTimer*>(QStringLiteral("timAdrClick"));
    ASSERT_NE(timer, nullptr);
    ClearFound(db());
    frm->display.ShownObjects = Tbo{};
    timer->stop();
    Send(("ShowAdr;" + house + "\nShowAdr;" + StreetName(other) + "\n").toUtf8());
    timer->start();
    ASSERT_TRUE(WaitUntil([&] { return !frm->display.ShownObjects.ids.empty(); }, 3000));
    EXPECT_EQ(frm->display.ShownObjects.tip, otStreet);
    Idle(300);
    EXPECT_EQ(frm->display.ShownObjects.tip, otStreet);
    EXPECT_EQ(frm->display.ShownObjects.ids, Tai{other});
    EXPECT_FALSE(db().Buildings[std::size_t(building)].IsFound);

    // Closing the window stops the server; the port is free again.
    const quint16 used = port;
    AnswerModal("btnYes");
    frm->close();
    ASSERT_TRUE(WaitUntil([&] { return closed; }, 5000));
    EXPECT_FALSE(frm->srv->IsListening());
    QTcpServer again;
    EXPECT_TRUE(again.listen(QHostAddress::LocalHost, used));
}

TEST_F(CommandWindow, APortInUseLeavesTheProgramWithoutTheServer) {
    StartProgram(true);
    EXPECT_TRUE(frm->isVisible());
    // No TCP client is served; the user's own local socket still is.
    EXPECT_EQ(frm->srv->Port(), 0);
    EXPECT_TRUE(frm->srv->Addresses().isEmpty());
    EXPECT_FALSE(frm->srv->LocalPath().isEmpty());
    EXPECT_TRUE(app->AppState.isEmpty());
    // The map works as ever: the start list is there and a quick list fills the cards.
    frm->btnTaxi->click();
    EXPECT_FALSE(frm->list->cards.crds.empty());
}

TEST_F(CommandWindow, QuickListsAndHistoryButtons) {
    StartProgram(false);
    TCardList& list = *frm->list;
    auto cardOrgs = [&] {
        Tai orgs;
        for (const TCard& c : list.cards.crds)
            orgs.push_back(c.org);
        return orgs;
    };

    // Quick lists: their organisations, their captions, no history entry, the mark mode kept.
    list.CardMarkMode = TCardMarkMode::building;
    const std::size_t entries = list.history.History.size();
    struct Quick {
        QToolButton* button;
        QuickList which;
        QString caption;
    } quick[] = {
        {frm->btnTaxi, QuickList::Taxi, " Taxi services"},
        {frm->btn911, QuickList::Emergency, " Службы экстренного вызова"},
        {frm->btnCafe, QuickList::Food, " Cafes and restaurants"},
        {frm->btnBankomat, QuickList::CashMachines, " Банкоматы"},
    };
    for (const Quick& q : quick) {
        ASSERT_TRUE(q.button->isEnabled()) << q.caption.toStdString();
        q.button->click();
        const QuickListResult expected = FindQuickList(*list.Index(), q.which, RadiusCircle{});
        ASSERT_TRUE(expected.rubricFound) << q.caption.toStdString();
        EXPECT_EQ(cardOrgs(), expected.orgs) << q.caption.toStdString();
        if (expected.orgs.empty()) continue;
        EXPECT_EQ(list.pnlCaption->text(), q.caption);
        EXPECT_EQ(list.txtCount->text(), QString::number(expected.orgs.size()));
        EXPECT_EQ(list.history.History.size(), entries);
        EXPECT_EQ(list.CardMarkMode, TCardMarkMode::building);
    }

    // Back and forward: enabled exactly while there is an entry that way.
    ASSERT_EQ(entries, 1u) << "the start list";
    auto search = [&](int org) {
        frm->criteria->btnClearOrgClick();
        frm->criteria->edCaption->setText(db().Orgs[std::size_t(org)].caption.value(0));
        frm->criteria->btnFindOrg->click();
    };
    struct Step {
        std::function<void()> act;
        int index;
        bool back, forward;
    } steps[] = {
        {[] {}, 0, false, false},
        {[&] { search(3); }, 1, true, false},
        {[&] { search(7); }, 2, true, false},
        {[&] { list.btnBack->click(); }, 1, true, true},
        {[&] { list.btnBack->click(); }, 0, false, true},
        {[&] { list.btnForward->click(); }, 1, true, true},
        {[&] { frm->btnCafe->click(); }, 1, true, true}, // quick lists leave the history alone
        {[&] { list.btnForward->click(); }, 2, true, false},
        {[&] { search(11); }, 3, true, false},
    };
    int n = 0;
    for (const Step& s : steps) {
        s.act();
        EXPECT_EQ(list.history.HistoryIndex, s.index) << "step " << n;
        EXPECT_EQ(list.btnBack->isEnabled(), s.back) << "step " << n;
        EXPECT_EQ(list.btnForward->isEnabled(), s.forward) << "step " << n;
        ++n;
    }
    list.btnBack->click();
    EXPECT_EQ(cardOrgs(), list.history.History[2].objects);
    EXPECT_EQ(list.CardMarkMode, TCardMarkMode::search);
    list.btnBack->click();
    list.btnBack->click();
    EXPECT_TRUE(list.pnlCaption->text().isEmpty()) << "the first entry shows as the start list";
    for (const TCard& c : list.cards.crds)
        EXPECT_TRUE(c.first && c.Collapsed);
}

TEST_F(CommandWindow, CardMenuCopiesAndPrintsCards) {
    StartProgram(false);
    TCardList& list = *frm->list;
    CardExport& menu = *frm->cardExport;
    frm->btnCafe->click();
    ASSERT_GE(list.cards.crds.size(), 2u);
    const QString dataFolder = data.path();

    // A right click on the second card offers it; one below the last card offers nothing to copy.
    const TCard& second = list.cards.crds[1];
    Mouse(list.imgCards, QEvent::MouseButtonRelease, QPoint(20, second.top - list.sbCards->value() + 5),
          Qt::RightButton);
    EXPECT_TRUE(menu.pmCards->isVisible());
    EXPECT_TRUE(menu.mnuCopy->isEnabled());
    EXPECT_TRUE(menu.mnuPrint->isEnabled()) << "printing goes to a PDF file without a printer";
    EXPECT_TRUE(menu.mnuPrintAll->isEnabled());
    EXPECT_EQ(menu.mnuCopy->data().toInt(), second.org);
    menu.pmCards->hide();
    menu.mnuCopy->trigger();
    const QStringList lines = CardText(db(), second.org, 0, LangEnglish);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), lines.join('\n'));
    EXPECT_TRUE(lines.front().startsWith("Title: "));

    menu.Popup(QPoint(10, 10), -1); // a route card or no card
    EXPECT_FALSE(menu.mnuCopy->isEnabled());
    EXPECT_FALSE(menu.mnuPrint->isEnabled());
    EXPECT_TRUE(menu.mnuPrintAll->isEnabled());
    menu.pmCards->hide();

    // Printing one card and all cards into PDF files, read back as text.
    QString target;
    bool offeredPdf = false;
    menu.runPrintDialog = [&](QPrinter& printer, bool toPdf) {
        offeredPdf = toPdf;
        if (toPdf) {
            EXPECT_EQ(printer.outputFormat(), QPrinter::PdfFormat);
        }
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(target);
        return true;
    };
    target = dataFolder + "/card.pdf";
    menu.Popup(QPoint(10, 10), second.org);
    menu.pmCards->hide();
    menu.mnuPrint->trigger();
    EXPECT_EQ(offeredPdf, !PrinterInstalled());
    const QString one = PdfText(target);
    EXPECT_TRUE(one.contains(lines.front())) << one.toStdString();
    EXPECT_TRUE(one.contains(QString(26, '-')));
    if (!qEnvironmentVariableIsEmpty("TESSARA_SCREENSHOT_DIR"))
        QFile::copy(target, qEnvironmentVariable("TESSARA_SCREENSHOT_DIR") + "/card.pdf");

    target = dataFolder + "/cards.pdf";
    menu.mnuPrintAll->trigger();
    const QString all = PdfText(target);
    const QString firstTitle = CardText(db(), list.cards.crds.front().org, 0, LangEnglish).front();
    const QString lastTitle = CardText(db(), list.cards.crds.back().org, 0, LangEnglish).front();
    ASSERT_TRUE(all.contains(firstTitle) && all.contains(lastTitle)) << all.toStdString();
    EXPECT_LT(all.indexOf(lastTitle), all.indexOf(firstTitle)) << "from the last card to the first";

    // A file that cannot be written: the error is said and nothing is left behind.
    QString said;
    target = dataFolder + "/no such folder/card.pdf";
    EXPECT_FALSE(PrintAnsweringTheError(menu, lines, said));
    EXPECT_TRUE(said.startsWith("Error!\n")) << said.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dataFolder + "/no such folder"));
}

TEST_F(CommandWindow, AFailedPrintKeepsTheFileItWouldReplace) {
    StartProgram(false);
    CardExport& menu = *frm->cardExport;
    const QStringList lines = CardText(db(), 0, 0, LangEnglish);
    const QString folder = data.path() + "/prints";
    const QString target = folder + "/kept.pdf";
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray before = "an older file";
    {
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(before);
    }
    menu.runPrintDialog = [&](QPrinter& printer, bool) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(target);
        return true;
    };
    // The file cannot be replaced: a folder without write permission, or for root an immutable file.
    const bool root = getuid() == 0;
    if (root && QProcess::execute("chattr", {"+i", target}) != 0)
        GTEST_SKIP() << "as root, this needs chattr on a file system that has the immutable flag";
    if (!root) QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    QString said;
    const bool printed = PrintAnsweringTheError(menu, lines, said);
    if (root)
        QProcess::execute("chattr", {"-i", target});
    else
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(printed);
    EXPECT_TRUE(said.startsWith("Error!\n")) << said.toStdString();
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), before);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"kept.pdf"}) << "no part file is left";
}

TEST_F(CommandWindow, ThePhoneBookStartsInItsOwnFolder) {
    StartProgram(false);
    const QString folder = data.path() + "/phone book";
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString script = folder + "/book.sh";
    {
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\npwd > ../started.txt\n");
    }
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    app->settings.PhoneBook = script;
    frm->btnPhones->click();
    QFile started(data.path() + "/started.txt");
    ASSERT_TRUE(WaitUntil([&] { return started.exists() && started.size() > 0; }, 10000));
    ASSERT_TRUE(started.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLocal8Bit(started.readAll()).trimmed(), folder);
}
