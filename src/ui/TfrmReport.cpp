#include "TfrmReport.h"

#include "AppContext.h"
#include "TextTable.h"
#include "OutsideText.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// A topic line: navy, blue under the mouse, a click (or Enter/Space with the focus) applies it.
class TopicLine : public QLabel {
public:
    TopicLine(const QString& name, std::function<void()> activate, QWidget* parent)
        : QLabel(parent), activate_(std::move(activate)) {
        setObjectName(name);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::StrongFocus);
        Colour(Qt::darkBlue);
    }

protected:
    void enterEvent(QEnterEvent*) override { Colour(Qt::blue); }
    void leaveEvent(QEvent*) override { Colour(Qt::darkBlue); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) activate_();
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Space)
            activate_();
        else
            QLabel::keyPressEvent(e);
    }

private:
    void Colour(Qt::GlobalColor c) {
        QPalette p = palette();
        p.setColor(QPalette::WindowText, c);
        setPalette(p);
    }
    std::function<void()> activate_;
};

QPlainTextEdit* Editor(const char* name, QWidget* parent) {
    auto* e = new QPlainTextEdit(parent);
    e->setObjectName(name);
    e->setTabChangesFocus(true);
    return e;
}

QLineEdit* Field(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

// The editor's lines; a trailing line break does not make an empty last line.
QStringList Lines(const QPlainTextEdit* e) {
    QString text = e->toPlainText();
    if (text.isEmpty()) return {};
    if (text.endsWith('\n')) text.chop(1);
    return text.split('\n');
}

} // namespace

TfrmReport::TfrmReport(AppContext& app, QWidget* parent) : QDialog(parent), app_(app) {
    setObjectName("frmReport");
    setModal(true);
    auto* top = new QVBoxLayout(this);
    pcLetter = new QTabWidget(this);
    pcLetter->setObjectName("pcLetter");
    top->addWidget(pcLetter);

    auto topic = [this](const char* name, const char* key, QWidget* page) {
        return new TopicLine(name, [this, key] { ApplyTopic(QString::fromLatin1(key)); }, page);
    };

    pgDeveloper = new QWidget;
    pgDeveloper->setObjectName("pgDeveloper");
    auto* dev = new QVBoxLayout(pgDeveloper);
    txtDeveloper = new QLabel(pgDeveloper);
    txtBetter = topic("txtBetter", "Better", pgDeveloper);
    txtErr = topic("txtErr", "Err", pgDeveloper);
    txtPrice = topic("txtPrice", "Price", pgDeveloper);
    txtWork = topic("txtWork", "Work", pgDeveloper);
    mem1 = Editor("mem1", pgDeveloper);
    for (QWidget* w : std::initializer_list<QWidget*>{txtDeveloper, txtBetter, txtErr, txtPrice, txtWork, mem1})
        dev->addWidget(w);

    pgCity = new QWidget;
    pgCity->setObjectName("pgCity");
    auto* city = new QVBoxLayout(pgCity);
    txtAgent = new QLabel(pgCity);
    txtAgent->setTextFormat(Qt::PlainText); // holds the city's name
    txtNewInfo = topic("txtNewInfo", "NewInfo", pgCity);
    txtErrInfo = topic("txtErrInfo", "ErrInfo", pgCity);
    txtOther = topic("txtOther", "Other", pgCity);
    mem2 = Editor("mem2", pgCity);
    for (QWidget* w : std::initializer_list<QWidget*>{txtAgent, txtNewInfo, txtErrInfo, txtOther, mem2})
        city->addWidget(w);

    pgAnketa = new QWidget;
    pgAnketa->setObjectName("pgAnketa");
    auto* form = new QFormLayout(pgAnketa);
    edCaption = Field("edCaption", pgAnketa);
    edSite = Field("edSite", pgAnketa);
    edMail = Field("edMail", pgAnketa);
    edICQ = Field("edICQ", pgAnketa);
    edSkype = Field("edSkype", pgAnketa);
    memNets = Editor("memNets", pgAnketa);
    memAdr = Editor("memAdr", pgAnketa);
    memRub = Editor("memRub", pgAnketa);
    memFIO = Editor("memFIO", pgAnketa);
    mem = Editor("mem", pgAnketa);
    mem->hide();
    const std::pair<const char*, QWidget*> rows[] = {
        {"TitleOrg", edCaption}, {"Web-site", edSite}, {"E-mail", edMail}, {"ICQ", edICQ},  {"Skype", edSkype},
        {"Facebook", memNets},   {"Adr", memAdr},      {"Areas", memRub},  {"Writer", memFIO}};
    for (const auto& [key, w] : rows) {
        auto* label = new QLabel(pgAnketa);
        label->setObjectName(QStringLiteral("lbl") + w->objectName());
        label->setProperty("textKey", QString::fromLatin1(key));
        label->setBuddy(w);
        form->addRow(label, w);
    }

    pcLetter->addTab(pgDeveloper, QString());
    pcLetter->addTab(pgCity, QString());
    pcLetter->addTab(pgAnketa, QString());

    auto* buttons = new QHBoxLayout;
    txtStatus = new QLabel(this);
    txtStatus->setObjectName("txtStatus");
    txtStatus->setWordWrap(true);
    buttons->addWidget(txtStatus, 1);
    btnOK = new QPushButton(this);
    btnOK->setObjectName("btnOK");
    btnOK->setDefault(false);
    btnOK->setAutoDefault(false);
    btnCancel = new QPushButton(this);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setAutoDefault(false);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    top->addLayout(buttons);
    connect(btnOK, &QPushButton::clicked, this, &TfrmReport::Send);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmReport::reject);
    resize(560, 480);
    Reset();
}

void TfrmReport::showEvent(QShowEvent* e) {
    Reset();
    QDialog::showEvent(e);
}

// Escape closes on release, as the rest of the program's windows do; the press must not reach
// QDialog, which would close before the editors see it.
void TfrmReport::keyReleaseEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) return reject();
    QDialog::keyReleaseEvent(e);
}

void TfrmReport::Reset() {
    setWindowTitle(LangText(u"Callback"));
    pcLetter->setTabText(0, LangText(u"Developer"));
    pcLetter->setTabText(1, LangText(u"Agent"));
    pcLetter->setTabText(2, LangText(u"Anketa"));
    txtDeveloper->setText(LangText(u"TellDev"));
    const TCity* current = app_.Current();
    txtAgent->setText(LangText(u"TellAgent") + (current ? current->CityName : QString()) + ":");
    txtBetter->setText(LangText(u"Wishes"));
    txtErr->setText(LangText(u"Malfunc"));
    txtPrice->setText(LangText(u"Diff"));
    txtWork->setText(LangText(u"WantAgent"));
    txtNewInfo->setText(LangText(u"Absent"));
    txtErrInfo->setText(LangText(u"Incorrect"));
    txtOther->setText(LangText(u"Else"));
    for (QLabel* label : pgAnketa->findChildren<QLabel*>())
        if (label->property("textKey").isValid()) label->setText(LangText(label->property("textKey").toString()));
    btnOK->setText(LangText(u"Send"));
    btnCancel->setText(LangText(u"Cancel"));
    for (QPlainTextEdit* e : {mem1, mem2, mem, memNets, memAdr, memRub, memFIO})
        e->clear();
    for (QLineEdit* e : {edCaption, edSite, edMail, edICQ, edSkype})
        e->clear();
    txtStatus->clear();
    pcLetter->setCurrentWidget(pgCity);
}

void TfrmReport::ApplyTopic(const QString& topic) {
    const QString cityName = app_.Current() ? app_.Current()->CityName : QString();
    auto t = [](const char16_t* key) { return LangText(key); };
    const QString dots = QStringLiteral("...");
    QStringList lines;
    QPlainTextEdit* editor = mem1;
    if (topic == u"Err")
        lines = {t(u"HelloDev"), {}, t(u"Happend"), dots, {}, t(u"MyName"), t(u"MyMail")};
    else if (topic == u"Better")
        lines = {t(u"HelloDev"), {}, t(u"Improve"), {}, t(u"MyName"), t(u"MyMail")};
    else if (topic == u"Price")
        lines = {t(u"HelloDev"),
                 {},
                 QString::fromUtf8("Сообщаю Вам, что цены на рекламу у Представителя в г.") + cityName +
                     QString::fromUtf8(" не соответствуют ценам в прайс-листе на сайте ") + app_.vendor.Mirrors.First(),
                 t(u"Details"),
                 {},
                 t(u"MyName"),
                 t(u"MyMail")};
    else if (topic == u"Work")
        lines = {t(u"HelloDev"), {}, t(u"BeAgent"), {}, t(u"MyName"), t(u"MyMail")};
    else {
        editor = mem2;
        if (topic == u"NewInfo")
            lines = {t(u"Hello"), {}, t(u"AbsInfo"), dots, {}, t(u"MyName"), t(u"MyMail")};
        else if (topic == u"ErrInfo")
            lines = {t(u"Hello"), {}, t(u"IncInfo"), dots, {}, t(u"MyName"), t(u"MyMail")};
        else
            lines = {t(u"Hello"), {}, dots, {}, t(u"MyName"), t(u"MyMail")};
    }
    editor->setPlainText(lines.join('\n'));
    editor->setFocus();
}

TfrmReport::Letter TfrmReport::Compose() {
    Letter letter;
    QWidget* page = pcLetter->currentWidget();
    letter.recipient = page == pgDeveloper ? QString::fromLatin1(DeveloperEmail) : app_.db->AgentEmail;
    letter.subject = page == pgAnketa ? QString::fromUtf8("Анкета") : QStringLiteral("Callback");
    QPlainTextEdit* source = page == pgDeveloper ? mem1 : page == pgCity ? mem2 : mem;
    if (page != pgAnketa && source->toPlainText().isEmpty()) {
        letter.warning = QStringLiteral("Something");
        return letter;
    }
    if (page == pgAnketa) {
        QStringList lines;
        const QString title = edCaption->text();
        if (title.isEmpty()) return letter.warning = QStringLiteral("NoTitle"), letter;
        lines << LangText(u"TitleOrg") + " " + title << QString();
        if (!edSite->text().isEmpty()) {
            if (!edSite->text().contains('.')) return letter.warning = QStringLiteral("ErrSite"), letter;
            lines << LangText(u"Web-site") + " " + edSite->text();
        }
        if (!edMail->text().isEmpty()) {
            if (!edMail->text().contains('@')) return letter.warning = QStringLiteral("ErrEmail"), letter;
            lines << LangText(u"E-mail") + " " + edMail->text();
        }
        lines << LangText(u"ICQ") + " " + edICQ->text() << LangText(u"Skype") + " " + edSkype->text();
        const std::pair<const char16_t*, QPlainTextEdit*> blocks[] = {
            {u"Facebook", memNets}, {u"Adr", memAdr}, {u"Areas", memRub}, {u"Writer", memFIO}};
        for (const auto& [key, editor] : blocks) {
            const QStringList more = Lines(editor);
            if (more.isEmpty()) continue;
            lines << QString() << LangText(key) << QString() << more;
        }
        mem->setPlainText(lines.join('\n'));
    }
    for (const QString& line : Lines(source))
        letter.message += line + QStringLiteral("\r\n");
    return letter;
}

void TfrmReport::Warn(const QString& text) {
    if (warn) return warn(text);
    QMessageBox::warning(this, windowTitle(), LiteralText(text));
}

void TfrmReport::reject() {
    if (sending_) {
        cancelSend_ = true;
        btnCancel->setEnabled(false);
        return;
    }
    QDialog::reject();
}

void TfrmReport::Send() {
    if (sending_) return;
    const Letter letter = Compose();
    if (!letter.warning.isEmpty()) return Warn(LangText(letter.warning));
    // While the request runs the letter cannot change; Cancel, Escape or closing the window end the wait.
    sending_ = true;
    cancelSend_ = false;
    btnOK->setEnabled(false);
    pcLetter->setEnabled(false);
    txtStatus->setText(LangText(u"Sending"));
    HttpClient& client = app_.vendor.Client();
    client.Cancelled = [this] { return cancelSend_; };
    const HttpReply reply = app_.vendor.SendFeedback(letter.recipient, letter.subject, letter.message);
    client.Cancelled = nullptr;
    sending_ = false;
    btnOK->setEnabled(true);
    btnCancel->setEnabled(true);
    pcLetter->setEnabled(true);
    // A failure leaves the window open with the letter, so that the user can try again.
    if (!reply.ok) {
        if (reply.cancelled) return txtStatus->setText(LangText(u"SendCancelled"));
        txtStatus->clear();
        const QString why = reply.error.isEmpty() ? QStringLiteral("HTTP %1").arg(reply.status) : reply.error;
        return Warn(LangText(u"NotSent").arg(why));
    }
    txtStatus->clear();
    Inform(LangText(u"Sent"));
    accept();
}

void TfrmReport::Inform(const QString& text) {
    if (inform) return inform(text);
    // The window closes at once; the line stays until the user dismisses it and holds nothing up.
    auto* box = new QMessageBox(QMessageBox::Information, windowTitle(), text, QMessageBox::Ok, parentWidget());
    box->setObjectName("msgSent");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}
