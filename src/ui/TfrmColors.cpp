#include "TfrmColors.h"

#include "ColorConvert.h"
#include "ColorSchemeStore.h"
#include "GroupWidgets.h"
#include "Settings.h"
#include "TextTable.h"
#include "WindowPlace.h"

#include <QAbstractItemView>
#include <QColorDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {

// Owner-drawn scheme entries: a solid background and the caption 2 pixels from the left.
class SchemeDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const bool hot = option.state & (QStyle::State_Selected | QStyle::State_MouseOver);
        const QPalette& pal = option.palette;
        p->fillRect(option.rect, hot ? pal.highlight() : pal.base());
        p->setPen(hot ? pal.highlightedText().color() : pal.text().color());
        p->drawText(option.rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                    index.data(Qt::DisplayRole).toString());
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        // Fixed item height.
        return {QStyledItemDelegate::sizeHint(option, index).width(), option.fontMetrics.height() + 4};
    }
};

} // namespace

void TSchemeCombo::hidePopup() {
    QComboBox::hidePopup();
    emit popupClosed();
}

const std::array<TfrmColors::Row, 18> TfrmColors::Rows = {{
    {"txtActive", "Active", "btnActive", &TColorScheme::ActiveColor},
    {"txtFound", "Found:", "btnFound", &TColorScheme::BuildFoundColor},
    {"txtBusWay", "BusWay:", "btnBusWay", &TColorScheme::BusWayColor},
    {"txtMeas", "Meas", "btnMeas", &TColorScheme::MeasColor},
    {"txtBusStop", "BusStop", "btnBusStop", &TColorScheme::BusStopColor},
    {"txtRoad", "Road", "btnRoad", &TColorScheme::RoadColor},
    {"txtBuildAdmin", "Admin:", "btnAdminB", &TColorScheme::AdminBColor},
    {"txtBuildLive", "Live", "btnLiveB", &TColorScheme::liveColor},
    {"txtSchool", "School", "btnSchool", &TColorScheme::schoolColor},
    {"txtKinder", "Kinder", "btnKinder", &TColorScheme::kinderColor},
    {"txtStore", "Store", "btnGarage", &TColorScheme::garageColor},
    {"txtOther", "Other:", "btnOther", &TColorScheme::otherColor},
    {"txtFieldAdmin", "Admin:", "btnAdmin", &TColorScheme::adminColor},
    {"txtFieldLive", "Live", "btnLiving", &TColorScheme::LivingColor},
    {"txtGarden", "Garden", "btnGarden", &TColorScheme::GardenColor},
    {"txtGrass", "Grass", "btnNature", &TColorScheme::NatureColor},
    {"txtCementary", "Cementary", "btnDead", &TColorScheme::DeadColor},
    {"txtWater", "Water", "btnWater", &TColorScheme::WaterColor},
}};

TfrmColors::TfrmColors(Settings& settings, ColorSchemeTable& colors, QWidget* parent)
    : QDialog(parent), settings_(settings), colors_(colors) {
    setObjectName(QStringLiteral("frmColors"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    pickColor = [](const QColor& initial, QWidget* parent) -> std::optional<QColor> {
        const QColor c = QColorDialog::getColor(initial, parent);
        if (!c.isValid()) return std::nullopt;
        return c;
    };

    pnl_ = new QGroupBox(this);
    pnl_->setObjectName(QStringLiteral("pnl"));
    auto* groupsLayout = new QHBoxLayout(pnl_);
    const char* groupNames[3][2] = {
        {"imgObjects", "txtObjects"}, {"imgBuildings", "txtBuildings"}, {"imgAreas", "txtFields"}};
    for (int g = 0; g < 3; ++g) {
        groups_[g] = new THeaderGroup(QString::fromLatin1(groupNames[g][0]),
                                      QString::fromLatin1(groupNames[g][1]), pnl_);
        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(10);
        grid->setVerticalSpacing(5);
        for (int r = 0; r < 6; ++r) {
            const int i = g * 6 + r;
            labels_[i] = new QLabel(groups_[g]);
            labels_[i]->setObjectName(QString::fromLatin1(Rows[i].label));
            buttons_[i] = new TColorButton(QString::fromLatin1(Rows[i].button), groups_[g]);
            labels_[i]->setBuddy(buttons_[i]);
            grid->addWidget(labels_[i], r, 0);
            grid->addWidget(buttons_[i], r, 1, Qt::AlignRight);
            connect(buttons_[i], &QPushButton::clicked, this, [this, i] { EditColor(buttons_[i]); });
        }
        groups_[g]->content()->addLayout(grid);
        groupsLayout->addWidget(groups_[g]);
    }

    txtColorScheme_ = new QLabel(this);
    txtColorScheme_->setObjectName(QStringLiteral("txtColorScheme"));
    cbColorScheme = new TSchemeCombo(this);
    cbColorScheme->setObjectName(QStringLiteral("cbColorScheme"));
    cbColorScheme->setItemDelegate(new SchemeDelegate(cbColorScheme));
    cbColorScheme->setMinimumWidth(180);
    cbColorScheme->addItem(QStringLiteral("Пользовательская"));
    for (int i = 1; i <= 9; ++i)
        cbColorScheme->addItem(colors_.schemes[i].caption);
    txtColorScheme_->setBuddy(cbColorScheme);

    MakeOkCancel(this, btnOK, btnCancel);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(txtColorScheme_);
    bottom->addWidget(cbColorScheme);
    bottom->addStretch(1);
    bottom->addWidget(btnOK);
    bottom->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pnl_);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnOK, &QPushButton::clicked, this, [this] {
        Applying();
        accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cbColorScheme, &QComboBox::currentIndexChanged, this, [this] { SchemeChosen(); });
    connect(cbColorScheme, &TSchemeCombo::popupClosed, this, [this] { SchemeChosen(); });
    connect(cbColorScheme, &QComboBox::highlighted, this, [this](int index) {
        if (cbColorScheme->view()->isVisible()) Preview(index);
    });
}

// The scheme list closes its popup while the window is torn down; its handlers must not reach a
// window that is no longer whole.
TfrmColors::~TfrmColors() { cbColorScheme->disconnect(this); }

void TfrmColors::showEvent(QShowEvent* e) {
    FormShow();
    QDialog::showEvent(e);
    PlaceOnScreen(this);
}

void TfrmColors::FormShow() {
    const int lang = settings_.ShellLang;
    setWindowTitle(LangText(u"ColorSetup", lang));
    btnCancel->setText(LangText(u"Cancel", lang));
    txtColorScheme_->setText(LangText(u"Scheme", lang));
    groups_[0]->caption()->setText(LangText(u"Objects", lang));
    groups_[1]->caption()->setText(LangText(u"Buildings", lang));
    groups_[2]->caption()->setText(LangText(u"Fields", lang));
    for (std::size_t i = 0; i < Rows.size(); ++i)
        labels_[i]->setText(LangText(QString::fromLatin1(Rows[i].key), lang));
    guard_ = true;
    cbColorScheme->setCurrentIndex(settings_.ColorScheme);
    ButtonsFromScheme();
    guard_ = false;
}

void TfrmColors::ButtonsFromScheme() {
    const TColorScheme& active = colors_.active();
    for (std::size_t i = 0; i < Rows.size(); ++i)
        buttons_[i]->setColor(active.*Rows[i].field);
}

void TfrmColors::Changed() {
    if (colorsChanged) colorsChanged();
}

void TfrmColors::Applying() {
    TColorScheme& active = colors_.active();
    for (std::size_t i = 0; i < Rows.size(); ++i)
        active.*Rows[i].field = buttons_[i]->color();
    // Found stops take the route colour.
    active.StopFoundColor = active.BusWayColor;
    settings_.ColorScheme = qMax(cbColorScheme->currentIndex(), 0);
    Changed();
    SaveColors(settings_.ColorScheme, active);
}

void TfrmColors::EditColor(TColorButton* button) {
    const auto chosen = pickColor ? pickColor(ToQColor(button->color()), this) : std::nullopt;
    if (!chosen) return;
    button->setColor(ToTColor(*chosen));
    guard_ = true;
    cbColorScheme->setCurrentIndex(0);
    guard_ = false;
    settings_.ColorScheme = 0;
    Applying();
}

void TfrmColors::SchemeChosen() {
    if (guard_) return;
    const int index = cbColorScheme->currentIndex();
    if (index < 0) return;
    settings_.ColorScheme = index;
    ApplyColorScheme(colors_, index);
    guard_ = true;
    ButtonsFromScheme();
    guard_ = false;
    Applying();
}

void TfrmColors::Preview(int index) {
    if (guard_ || index < 0 || index > 9) return;
    settings_.ColorScheme = index;
    ApplyColorScheme(colors_, index);
    guard_ = true;
    ButtonsFromScheme();
    guard_ = false;
    Changed();
}
