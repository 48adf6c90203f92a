#include "TfrmUpdateList.h"

#include "TextTable.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int WindowWidth = 560;
constexpr int RowStep = 25;
constexpr int LabelTop = 40;
constexpr int BoxTop = 38;
} // namespace

TfrmUpdateList::TfrmUpdateList(QWidget* parent) : QDialog(parent) {
    setObjectName("frmUpdateList");
    setModal(true);
    setWindowTitle(LangText(u"Update"));
    pnl = new QWidget(this);
    pnl->setObjectName("pnl");

    auto header = [&](const char* name, const QString& text, int left, int width) {
        auto* l = new QLabel(text, pnl);
        l->setObjectName(name);
        l->setGeometry(left, 12, width, 20);
        l->setAlignment(Qt::AlignCenter);
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        return l;
    };
    txtElement = header("txtElement", LangText(u"Element"), 10, 200);
    txtElement->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    txtBefor = header("txtBefor", LangText(u"Befor"), 215, 95);
    txtAfter = header("txtAfter", LangText(u"After"), 315, 95);
    txtUpdate = header("txtUpdate", LangText(u"NeedUpdate"), 415, 70);
    txtFoto = header("txtFoto", QStringLiteral("Фото"), 485, 70);

    Bevel1 = new QFrame(pnl);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 33, WindowWidth - 16, 2);

    txtNothingNew = new QLabel(pnl);
    txtNothingNew->setObjectName("txtNothingNew");
    txtNothingNew->hide();

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName("btnOK");
    btnOK->setDefault(true);
    btnCancel = new QPushButton(LangText(u"Cancel"), this);
    btnCancel->setObjectName("btnCancel");
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    ShowTable({});
}

void TfrmUpdateList::ClearRows() {
    for (const Row& r : rows_) {
        delete r.CityName;
        delete r.BeforDate;
        delete r.AfterDate;
        delete r.needUpdate;
        delete r.needFoto;
    }
    rows_.clear();
}

void TfrmUpdateList::ShowTable(const TInfTable& table) {
    ClearRows();
    setWindowTitle(LangText(u"Update"));
    txtElement->setText(LangText(u"Element"));
    txtBefor->setText(LangText(u"Befor"));
    txtAfter->setText(LangText(u"After"));
    txtUpdate->setText(LangText(u"NeedUpdate"));
    btnCancel->setText(LangText(u"Cancel"));

    QWidget* previous = nullptr;
    bool offered = false;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const TFileInf& inf = table[i];
        const int top = LabelTop + RowStep * int(i);
        auto label = [&](const QString& text, const QLabel* under, Qt::Alignment align) {
            auto* l = new QLabel(pnl);
            l->setTextFormat(Qt::PlainText); // names and dates of the vendor's list
            l->setText(text);
            l->setGeometry(under->x(), top, under->width(), 20);
            l->setAlignment(align | Qt::AlignVCenter);
            l->show();
            return l;
        };
        auto box = [&](const TCheck& check, const QLabel* under, const char* name) {
            auto* b = new QCheckBox(PaddedCaption(check.Caption).replace(u'&', QStringLiteral("&&")), pnl);
            b->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(name)).arg(i));
            b->setGeometry(under->x(), BoxTop + RowStep * int(i), under->width(), 22);
            b->setChecked(check.Checked);
            b->setVisible(check.Visible);
            if (check.Visible) {
                if (previous) setTabOrder(previous, b);
                previous = b;
            }
            return b;
        };
        Row row;
        row.CityName = label(inf.CityName, txtElement, Qt::AlignLeft);
        row.BeforDate = label(inf.BeforDate, txtBefor, Qt::AlignHCenter);
        row.AfterDate = label(inf.AfterDate, txtAfter, Qt::AlignHCenter);
        row.needUpdate = box(inf.needUpdate, txtUpdate, "needUpdate");
        row.needFoto = box(inf.needFoto, txtFoto, "needFoto");
        rows_.push_back(row);
        offered = offered || inf.needUpdate.Visible || inf.needFoto.Visible;
    }
    // A list without a single box would leave the user guessing: say that nothing is new.
    txtNothingNew->setText(LangText(u"NothingNew"));
    txtNothingNew->setGeometry(10, LabelTop + RowStep * int(table.size()) + 4, WindowWidth - 20, 20);
    txtNothingNew->setVisible(!table.empty() && !offered);
    if (previous) setTabOrder(previous, btnOK);
    setTabOrder(btnOK, btnCancel);

    const int height = 130 + RowStep * int(table.size());
    setFixedSize(WindowWidth, height);
    pnl->setGeometry(0, 0, WindowWidth, height - 50);
    btnOK->setGeometry(WindowWidth - 200, height - 40, 90, 28);
    btnCancel->setGeometry(WindowWidth - 100, height - 40, 90, 28);
}

void TfrmUpdateList::TakeTicks(TInfTable& table) const {
    for (std::size_t i = 0; i < table.size() && i < rows_.size(); ++i) {
        table[i].needUpdate.Checked = rows_[i].needUpdate->isChecked();
        table[i].needFoto.Checked = rows_[i].needFoto->isChecked();
    }
}
