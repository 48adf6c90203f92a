#include "TfrmOptions.h"

#include "ColorSchemeStore.h"
#include "GroupWidgets.h"
#include "OptionPictures.h"
#include "Settings.h"
#include "TextTable.h"
#include "TfrmColors.h"
#include "WindowPlace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QCheckBox* Check(const char* name, QWidget* parent) {
    auto* c = new QCheckBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    return c;
}

} // namespace

TfrmOptions::TfrmOptions(Settings& settings, ColorSchemeTable& colors, QWidget* parent)
    : QDialog(parent), settings_(settings), colors_(colors) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    chooseFile = [](QWidget* parent) {
        QFileDialog dialog(parent, QStringLiteral("Подключение справочника"));
        dialog.setNameFilter(QStringLiteral("Все файлы (*)"));
        dialog.setDefaultSuffix(QStringLiteral("exe"));
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
        return dialog.selectedFiles().first();
    };
    runColors = [](TfrmColors& colors) { return colors.exec(); };

    // Left column.
    grpCPU_ = new THeaderGroup(QStringLiteral("imgCPU"), QStringLiteral("txtCPU"), this);
    cbSmooth = Check("cbSmooth", grpCPU_);
    cbFlat = Check("cbFlat", grpCPU_);
    cbPath = Check("cbPath", grpCPU_);
    cbContourText = Check("cbContourText", grpCPU_);
    for (QCheckBox* c : {cbSmooth, cbFlat, cbPath, cbContourText})
        grpCPU_->content()->addWidget(c);

    auto pictureRow = [](THeaderGroup* g, QCheckBox* a, TClickPicture* pa, QCheckBox* b, TClickPicture* pb) {
        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(6);
        grid->addWidget(pa, 0, 0);
        grid->addWidget(a, 0, 1);
        grid->setColumnMinimumWidth(2, 12);
        grid->addWidget(pb, 0, 3);
        grid->addWidget(b, 0, 4);
        grid->setColumnStretch(5, 1);
        g->content()->addLayout(grid);
    };
    grpScaleMode_ = new THeaderGroup(QStringLiteral("imgScaleMode"), QStringLiteral("txtScaleMode"), this);
    cbCenter = Check("cbCenter", grpScaleMode_);
    cbCorner = Check("cbCorner", grpScaleMode_);
    imgCenter = new TClickPicture(QStringLiteral("imgCenter"), PaintOptionPicture(OptionPicture::Center),
                                  grpScaleMode_);
    imgCorner = new TClickPicture(QStringLiteral("imgCorner"), PaintOptionPicture(OptionPicture::Corner),
                                  grpScaleMode_);
    pictureRow(grpScaleMode_, cbCenter, imgCenter, cbCorner, imgCorner);

    grpPosition_ = new THeaderGroup(QStringLiteral("imgPosition"), QStringLiteral("txtPosition"), this);
    cbLeft = Check("cbLeft", grpPosition_);
    cbRight = Check("cbRight", grpPosition_);
    imgLeft =
        new TClickPicture(QStringLiteral("imgLeft"), PaintOptionPicture(OptionPicture::Left), grpPosition_);
    imgRight =
        new TClickPicture(QStringLiteral("imgRight"), PaintOptionPicture(OptionPicture::Right), grpPosition_);
    pictureRow(grpPosition_, cbLeft, imgLeft, cbRight, imgRight);

    grpGrafMode_ = new THeaderGroup(QStringLiteral("imgGrafMode"), QStringLiteral("txtGrafMode"), this);
    cbGDI = Check("cbGDI", grpGrafMode_);
    cbOpenGL = Check("cbOpenGL", grpGrafMode_);
    cbGDI->setText(QStringLiteral("GDI+"));
    cbOpenGL->setText(QStringLiteral("OpenGL"));
    auto* grafRow = new QHBoxLayout;
    grafRow->addWidget(cbGDI);
    grafRow->addSpacing(24);
    grafRow->addWidget(cbOpenGL);
    grafRow->addStretch(1);
    grpGrafMode_->content()->addLayout(grafRow);

    btnChangeColors = new QPushButton(this);
    btnChangeColors->setObjectName(QStringLiteral("btnChangeColors"));

    // Right column.
    grpOther_ = new THeaderGroup(QStringLiteral("imgOther"), QStringLiteral("txtOther"), this);
    cbInvert = Check("cbInvert", grpOther_);
    cbHelp = Check("cbHelp", grpOther_);
    cbBlink = Check("cbBlink", grpOther_);
    cbMetro = Check("cbMetro", grpOther_);
    cbUpdate = Check("cbUpdate", grpOther_);
    cbEconomPrint = Check("cbEconomPrint", grpOther_);
    cbAutoScrollMap = Check("cbAutoScrollMap", grpOther_);
    cbShowFotoFirst = Check("cbShowFotoFirst", grpOther_);
    cbShowFotoFirst->setText(QStringLiteral(" Показывать фотографии зданий"));
    for (QCheckBox* c :
         {cbInvert, cbHelp, cbBlink, cbMetro, cbUpdate, cbEconomPrint, cbAutoScrollMap, cbShowFotoFirst})
        grpOther_->content()->addWidget(c);

    grpPhone_ = new THeaderGroup(QStringLiteral("imgPhone"), QStringLiteral("txtPhone"), this);
    edApp = new QLineEdit(grpPhone_);
    edApp->setObjectName(QStringLiteral("edApp"));
    btnBrowse = new QPushButton(QStringLiteral("..."), grpPhone_);
    btnBrowse->setObjectName(QStringLiteral("btnBrowse"));
    btnBrowse->setFixedWidth(32);
    auto* phoneRow = new QHBoxLayout;
    phoneRow->addWidget(edApp, 1);
    phoneRow->addWidget(btnBrowse);
    grpPhone_->content()->addLayout(phoneRow);

    grpLang_ = new THeaderGroup(QStringLiteral("imgLang"), QStringLiteral("txtLang"), this);
    txtInterface = new QLabel(grpLang_);
    txtInterface->setObjectName(QStringLiteral("txtInterface"));
    cbInterface = new QComboBox(grpLang_);
    cbInterface->setObjectName(QStringLiteral("cbInterface"));
    cbInterface->addItems(LangNames());
    txtData = new QLabel(grpLang_);
    txtData->setObjectName(QStringLiteral("txtData"));
    cbData = new QComboBox(grpLang_);
    cbData->setObjectName(QStringLiteral("cbData"));
    txtInterface->setBuddy(cbInterface);
    txtData->setBuddy(cbData);
    auto* langGrid = new QGridLayout;
    langGrid->addWidget(txtInterface, 0, 0);
    langGrid->addWidget(cbInterface, 0, 1);
    langGrid->addWidget(txtData, 1, 0);
    langGrid->addWidget(cbData, 1, 1);
    langGrid->setColumnStretch(1, 1);
    grpLang_->content()->addLayout(langGrid);

    MakeOkCancel(this, btnOK, btnCancel);

    auto* left = new QVBoxLayout;
    for (QWidget* w : {grpCPU_, grpScaleMode_, grpPosition_, grpGrafMode_})
        left->addWidget(w);
    left->addWidget(btnChangeColors);
    auto* right = new QVBoxLayout;
    for (QWidget* w : {grpOther_, grpPhone_, grpLang_})
        right->addWidget(w);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btnOK);
    bottom->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    const std::pair<QCheckBox*, QCheckBox*> pairs[] = {
        {cbLeft, cbRight}, {cbCenter, cbCorner}, {cbGDI, cbOpenGL}};
    for (auto [a, b] : pairs) {
        connect(a, &QCheckBox::clicked, this, [this, a, b] { PairClick(a, b); });
        connect(b, &QCheckBox::clicked, this, [this, a, b] { PairClick(b, a); });
    }
    const std::pair<TClickPicture*, QCheckBox*> pictures[] = {
        {imgLeft, cbLeft}, {imgRight, cbRight}, {imgCenter, cbCenter}, {imgCorner, cbCorner}};
    for (auto [picture, box] : pictures)
        connect(picture, &TClickPicture::clicked, box, [box] {
            if (!box->isChecked()) box->click();
        });

    connect(btnBrowse, &QPushButton::clicked, this, [this] {
        const QString file = chooseFile ? chooseFile(this) : QString();
        if (!file.isEmpty()) edApp->setText(file);
    });
    connect(btnChangeColors, &QPushButton::clicked, this, &TfrmOptions::ChangeColors);
    connect(btnOK, &QPushButton::clicked, this, [this] {
        StoreSettings();
        accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmOptions::SetDataLangNames(const QStringList& names) {
    dataLangNames_ = names;
}

void TfrmOptions::showEvent(QShowEvent* e) {
    FormShow();
    QDialog::showEvent(e);
    PlaceOnScreen(this);
}

void TfrmOptions::FormShow() {
    const int lang = settings_.ShellLang;
    auto text = [lang](const char16_t* key) { return LangText(QStringView(key), lang); };
    setWindowTitle(text(u"Options"));
    btnCancel->setText(text(u"Cancel"));
    grpCPU_->caption()->setText(text(u"CPU"));
    cbSmooth->setText(text(u"Aliasing"));
    cbFlat->setText(text(u"3DOff"));
    cbPath->setText(text(u"Fly"));
    cbContourText->setText(text(u"Contour"));
    grpScaleMode_->caption()->setText(text(u"Frame"));
    cbCenter->setText(text(u"Center"));
    cbCorner->setText(text(u"Corner"));
    grpPosition_->caption()->setText(text(u"Position"));
    cbLeft->setText(text(u"Left"));
    cbRight->setText(text(u"Right"));
    grpGrafMode_->caption()->setText(text(u"Mode"));
    grpOther_->caption()->setText(text(u"Other"));
    cbInvert->setText(text(u"Invert"));
    cbHelp->setText(text(u"ShowTips"));
    cbBlink->setText(text(u"Blink"));
    cbMetro->setText(text(u"Metro"));
    cbUpdate->setText(text(u"Autoupdate"));
    cbEconomPrint->setText(text(u"Econom"));
    cbAutoScrollMap->setText(text(u"Autoscroll"));
    grpPhone_->caption()->setText(text(u"Phonebook"));
    grpLang_->caption()->setText(text(u"Lang"));
    btnChangeColors->setText(text(u"Colors"));
    txtInterface->setText(text(u"Interface") + u':');
    txtData->setText(text(u"Data") + u':');
    edApp->setPlaceholderText(text(u"Phbook"));
    edApp->setMinimumWidth(edApp->fontMetrics().horizontalAdvance(edApp->placeholderText()) + 16);

    const Settings& s = settings_;
    cbSmooth->setChecked(!s.smooth);
    cbFlat->setChecked(s.flat);
    cbPath->setChecked(!s.jump);
    cbContourText->setChecked(!s.ContourText);
    cbInvert->setChecked(s.invert);
    cbHelp->setChecked(s.ShowHelp);
    cbBlink->setChecked(s.blink);
    cbMetro->setChecked(s.metro);
    cbUpdate->setChecked(s.AutoUpdate);
    cbEconomPrint->setChecked(s.EconomPrint);
    cbAutoScrollMap->setChecked(s.AutoScrollMap);
    cbShowFotoFirst->setChecked(s.ShowFotoFirst);
    cbInterface->setCurrentIndex(s.ShellLang);
    cbLeft->setChecked(s.position == 0);
    cbRight->setChecked(s.position != 0);
    cbCenter->setChecked(s.ScaleMode == 0);
    cbCorner->setChecked(s.ScaleMode != 0);
    cbGDI->setChecked(s.GrafMode == 0);
    cbOpenGL->setChecked(s.GrafMode != 0);
    edApp->setText(s.PhoneBook);
    cbData->clear();
    cbData->addItems(dataLangNames_);
    cbData->setCurrentIndex(dataLangNames_.isEmpty() ? -1
                                                     : qBound(0, s.DataLang, int(dataLangNames_.size()) - 1));
    cbData->setEnabled(dataLangNames_.size() > 1);
}

void TfrmOptions::StoreSettings() {
    Settings& s = settings_;
    s.SetSmooth(!cbSmooth->isChecked());
    s.ShowHelp = cbHelp->isChecked();
    s.blink = cbBlink->isChecked();
    s.AutoUpdate = cbUpdate->isChecked();
    s.ShowFotoFirst = cbShowFotoFirst->isChecked();
    s.metro = cbMetro->isChecked();
    s.flat = cbFlat->isChecked();
    s.AutoScrollMap = cbAutoScrollMap->isChecked();
    s.jump = !cbPath->isChecked();
    if (cbInterface->currentIndex() >= 0) s.ShellLang = cbInterface->currentIndex();
    s.position = cbLeft->isChecked() ? 0 : 1;
    s.invert = cbInvert->isChecked();
    s.EconomPrint = cbEconomPrint->isChecked();
    s.ContourText = !cbContourText->isChecked();
    s.PhoneBook = edApp->text();
    s.ScaleMode = cbCenter->isChecked() ? 0 : 1;
    s.GrafMode = cbGDI->isChecked() ? 0 : 1;
    // Without a loaded city the list is empty; the data language then stays as it was.
    if (cbData->currentIndex() >= 0) s.DataLang = cbData->currentIndex();
    SaveSettings(s);
}

void TfrmOptions::PairClick(QCheckBox* clicked, QCheckBox* partner) {
    if (pairing_) return;
    pairing_ = true;
    if (clicked->isChecked())
        partner->setChecked(false);
    else
        clicked->setChecked(true); // one of the two stays checked
    pairing_ = false;
}

void TfrmOptions::ChangeColors() {
    if (!frmColors_) frmColors_ = new TfrmColors(settings_, colors_, this);
    frmColors_->colorsChanged = colorsChanged;
    const TColorScheme kept = colors_.active();
    const int keptIndex = settings_.ColorScheme;
    setWindowOpacity(100.0 / 255.0);
    const int result = runColors ? runColors(*frmColors_) : QDialog::Rejected;
    if (result != QDialog::Accepted) {
        colors_.active() = kept;
        settings_.ColorScheme = keptIndex;
        if (colorsChanged) colorsChanged();
        SaveColors(settings_.ColorScheme, colors_.active());
    }
    setWindowOpacity(1.0);
    btnChangeColors->setDown(false);
}
