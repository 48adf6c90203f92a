// A city file with markup in every text a window shows: the windows show it as it stands, and the
// picture it names is never read (an <img> laid out reads its file: a FIFO there blocks the window for
// ever, /dev/zero eats memory). Links of its cards reach the opener only when they are web addresses.
#include "ProgramHarness.h"
#include "ShownText.h"
#include "StartLines.h"
#include "TFilterListBox.h"
#include "TfrmReport.h"

#include <QHelpEvent>
#include <QImage>
#include <QToolTip>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

// Whether anything opened or read a file since the watch began.
class OpenWatch {
public:
    explicit OpenWatch(const QString& path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0) inotify_add_watch(fd_, QFile::encodeName(path).constData(), IN_OPEN | IN_ACCESS);
    }
    ~OpenWatch() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool Valid() const { return fd_ >= 0; }
    bool Opened() const {
        alignas(inotify_event) char buffer[4096];
        return ::read(fd_, buffer, sizeof buffer) > 0;
    }

private:
    int fd_;
};

struct OutsideText : Program {
    QTemporaryDir probeDir{QStringLiteral("/tmp/t-XXXXXX")};
    QString probe, markup;
    std::unique_ptr<OpenWatch> watch;
    TfrmMain* frm = nullptr;

    void SetUp() override {
        Program::SetUp();
        // A short path: the city's name, which holds it too, has little room in the file's header.
        ASSERT_TRUE(probeDir.isValid());
        probe = probeDir.filePath(QStringLiteral("p.png"));
        QImage(8, 8, QImage::Format_RGB32).save(probe);
        watch = std::make_unique<OpenWatch>(probe);
        ASSERT_TRUE(watch->Valid());
        markup = QStringLiteral("<img src=%1><b>x</b>").arg(probe);
        WriteCity(CityFolder(), QStringLiteral("Demo") + markup, QStringLiteral("Demograd"), [&](CityDb& db) {
            // Long enough that the start window shortens it and keeps the whole text in a hint.
            db.AgentName = markup + QStringLiteral(" representative of a long company name, ltd.");
            db.AgentEmail = markup + QStringLiteral("@example.org");
            db.AgentPhone = markup;
            db.Streets[0].Name[0] =
                markup + QStringLiteral(" avenue with a very long name indeed, far too long");
            for (std::size_t i = 0; i < db.Orgs.size(); ++i)
                db.Orgs[i].caption[0] = markup + QStringLiteral(" org %1").arg(i);
            for (QString& r : db.RubricNames)
                r = markup + r;
        });
    }
    void TearDown() override {
        CloseMain(frm);
        Program::TearDown();
    }

    // Every label of every window that holds the markup (whole or shortened) shows it literally.
    void ExpectLabelsLiteral() {
        int holding = 0;
        for (QWidget* w : QApplication::allWidgets()) {
            auto* l = qobject_cast<QLabel*>(w);
            if (!l || !l->text().contains(u"<img")) continue;
            ++holding;
            EXPECT_FALSE(ShowsRichText(l)) << l->objectName().toStdString();
        }
        EXPECT_GT(holding, 0);
    }
    // A tooltip shows the whole text, markup included, as it stands.
    void ExpectTipLiteral(const QString& whole) {
        const QString tip = QToolTip::text();
        EXPECT_FALSE(tip.contains(u"<img")) << "rich text would lay the picture out: " << tip.toStdString();
        EXPECT_EQ(ShownText(tip, Qt::mightBeRichText(tip)).trimmed(), whole);
    }
};

TEST_F(OutsideText, MarkupOfACityFileIsShownAsItStands) {
    Open();
    // The start window: the city's name, its representative, e-mail and phone, and their hint.
    auto* txtCity = start->findChild<QLabel*>("txtCity");
    ASSERT_TRUE(txtCity);
    EXPECT_TRUE(FullText(txtCity).contains(QStringLiteral("Demo") + markup + ": " + markup))
        << FullText(txtCity).toStdString();
    EXPECT_EQ(FullText(start->findChild<QLabel*>("txtEmail")), markup + "@example.org");
    EXPECT_EQ(FullText(start->findChild<QLabel*>("txtPhone")), ", " + markup + '.');
    ExpectLabelsLiteral();
    EXPECT_FALSE(watch->Opened()) << "the start window read a picture named by the city file";
    EXPECT_FALSE(txtCity->toolTip().isEmpty()) << "the long line is shortened";
    QToolTip::showText(txtCity->mapToGlobal(QPoint(2, 2)), txtCity->toolTip(), txtCity);
    ExpectTipLiteral(FullText(txtCity));
    Screenshot(start.get(), "outside-text-start");
    QToolTip::hideText();

    // The main window: cards of organisations and a rubric, a balloon, the street picker's hint.
    frm = Next();
    ASSERT_NE(frm, nullptr);
    CityDb& db = *app->db;
    TOrgCriteria& c = *frm->criteria;
    c.edCaption->setText(QStringLiteral("org"));
    c.btnFindOrgClick();
    ASSERT_FALSE(frm->list->cards.crds.empty());
    frm->list->btnExpandClick();
    frm->list->ShowRubric(0);
    QPoint at;
    ASSERT_GE(ClickableBuilding(frm, db, at), 0);
    Click(frm->img, at);
    QApplication::processEvents();

    c.cbStreet->setFocus();
    for (const QChar ch : QStringLiteral("avenue")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(c.cbStreet, &press);
    }
    TFilterListBox& drop = *c.filterList;
    ASSERT_TRUE(WaitUntil([&] { return drop.isVisible() && drop.model()->rowCount() > 0; }, 3000));
    const QString street = db.Streets[0].Name[0];
    int row = 0;
    while (row < drop.model()->rowCount() && drop.model()->index(row, 0).data().toString() != street)
        ++row;
    ASSERT_LT(row, drop.model()->rowCount());
    const QRect entry = drop.visualRect(drop.model()->index(row, 0));
    QHelpEvent hint(QEvent::ToolTip, entry.center(), drop.viewport()->mapToGlobal(entry.center()));
    QApplication::sendEvent(drop.viewport(), &hint);
    ExpectTipLiteral(street);
    QToolTip::hideText();

    // The feedback window names the city.
    TfrmReport report(*app, frm);
    report.show();
    QApplication::processEvents();
    EXPECT_TRUE(report.txtAgent->text().contains(markup));
    ExpectLabelsLiteral();
    report.close();

    Screenshot(frm, "outside-text");
    EXPECT_FALSE(watch->Opened()) << "a picture named by the city file was read";
}

// Card links written by the city file: only web addresses and plain mail and Skype links are opened.
TEST_F(OutsideText, CardLinksOpenOnlyWebAndPlainMailAddresses) {
    Open();
    frm = Next();
    ASSERT_NE(frm, nullptr);
    CityDb& db = *app->db;
    TOrg& org = db.Orgs[0];
    org.website = QStringLiteral("example.org/@x");
    org.email = QStringLiteral("someone@example.org?attach=/etc/passwd");
    org.skype = TSharedText(QStringLiteral("someone?call"));
    org.socnet.clear();
    QStringList opened;
    SetShellOpenHook([&](const QString& target) {
        opened << target;
        return true;
    });
    TCardList& l = *frm->list;
    l.ClearResults();
    l.ShowOrgCards(" x", {0}, -1);
    ASSERT_EQ(l.cards.crds.size(), 1u);
    const TCard& card = l.cards.crds[0];
    QStringList clicked;
    for (const TBlock& b : card.blocks)
        for (const Ttxt& t : b.txt)
            if (t.link == TLink::site || t.link == TLink::email || t.link == TLink::skype) {
                clicked << t.caption;
                l.imgCardsMouseUp(Qt::LeftButton, t.left + 2, b.top + t.top + 2, {});
            }
    SetShellOpenHook({});
    EXPECT_EQ(clicked.size(), 3) << clicked.join(", ").toStdString();
    EXPECT_EQ(opened, QStringList{QStringLiteral("http://example.org/@x")});
}

} // namespace
