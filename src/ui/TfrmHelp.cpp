#include "TfrmHelp.h"

#include "DrawnIcons.h"
#include "Settings.h"
#include "TextTable.h"
#include "UserManual.h"
#include "WindowPlace.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QVBoxLayout>

const QStringList& HelpTips() {
    static const QStringList tips = {
        QStringLiteral(
            "\"облачко\" с информацией о здании можно перетаскивать мышью для лучшего обзора карты"),
        QStringLiteral(
            "если Вы не успели прочитать информацию на баннере под окном справочника, то чередование "
            "баннеров можно ускорить, щелкая по ним правой кнопкой мыши"),
        QStringLiteral("менять масштаб карты можно колесом мыши"),
        QStringLiteral("развернуть карточку организации можно щелчком левой кнопки мыши по ней"),
        QStringLiteral(
            "распечатать информацию об организации можно, щелкнув правой кнопкой мыши на ее карточке, и "
            "выбрав соответствующий пункт появившегося меню"),
        QStringLiteral("быстро перемещаться по карте можно с помощью инструмента \"Мини-карта\""),
        QStringLiteral("перемещать карту можно, подведя мышь к ее краю, и зажав левую кнопку мыши"),
        QStringLiteral(
            "цветовую окраску объектов на карте можно изменять по своему усмотрению, вызвав окно настроек"),
        QStringLiteral("прямое и обратное направления движения автобусов отображаются с разной яркостью"),
        QStringLiteral(
            "ответы на частые вопросы и другая важная информация о решении возможных проблем в работе "
            "справочника опубликованы на нашем сайте в разделе \"Вопрос-Ответ\", а также в самом "
            "справочнике"),
        QStringLiteral("оценить расстояние между объектами на карте можно с помощью инструмента \"Рулетка\""),
        QStringLiteral("уменьшить подтормаживание карты можно варьированием настроек \"Снижение нагрузки на "
                       "процессор\""),
        QStringLiteral("карта имеет два режима отображения зданий и построек: плоский и объемный"),
        QStringLiteral(
            "справочник позволяет искать объекты на карте по их названиям (в том числе \"народным\")"),
        QStringLiteral(
            "можно найти подходящие автобусные маршруты, указав начальную (исходную) и конечную (целевую) "
            "остановки"),
        QStringLiteral(
            "если у Вас есть электронный городской телефонный справочник, то для удобства использования "
            "его можно подключить к нашему справочнику через окно \"Настройки\""),
        QStringLiteral(
            "распечатать область карты, видимую на экране, можно, нажав кнопку с изображением принтера в "
            "панели инструментов"),
        QStringLiteral(
            "при поиске организации по сфере деятельности можно упростить поиск рубрики, введя любую часть "
            "ее названия"),
        QStringLiteral(
            "при поиске организации по телефону, различная расстановка знаков \"-\" не имеет значения"),
        QStringLiteral(
            "расположение (справа или слева) панели с карточками организаций можно выбирать по своему "
            "желанию через окно \"Настройки\""),
        QStringLiteral(
            "направление изменения масштаба карты колесов мыши можно менять через окно \"Настройки\""),
        QStringLiteral(
            "разработчики с благодарностью примут от Вас любую информацию, отсутствующую в справочнике или "
            "вносящую коррективы"),
        QStringLiteral("при измерении расстояния можно перемещать точки маршрута с помощью мыши, а закончить "
                       "измерение можно, нажав правую кнопку мыши"),
        QStringLiteral(
            "получить более подробную информацию об организации, разместившей рекламу в справочнике, "
            "можно, щелкнув мышью на рекламе"),
        QStringLiteral(
            "найти ближайшие к Вам организации или объекты можно с помощью инструмента \"Радиус\""),
    };
    return tips;
}

TfrmHelp::TfrmHelp(Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    resize(460, 260);
    pickTip = [](int count) { return int(QRandomGenerator::global()->bounded(count)); };

    mem = new QPlainTextEdit(this);
    mem->setObjectName(QStringLiteral("mem"));
    mem->setReadOnly(true);
    btnNext = new QPushButton(this);
    btnNext->setObjectName(QStringLiteral("btnNext"));
    btnClose = new QPushButton(this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    cbHelp = new QCheckBox(this);
    cbHelp->setObjectName(QStringLiteral("cbHelp"));
    cbHelp->setChecked(true);
    btnHelp = new QPushButton(this);
    btnHelp->setObjectName(QStringLiteral("btnHelp"));
    btnHelp->setIcon(ManualIcon());
    btnHelp->setToolTip(QStringLiteral("Руководство пользователя"));

    connect(btnNext, &QPushButton::clicked, this, &TfrmHelp::ShowTip);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(cbHelp, &QCheckBox::clicked, this, [this](bool on) {
        settings_.ShowHelp = on;
        SaveSettings(settings_);
    });
    connect(btnHelp, &QPushButton::clicked, this,
            [this] { OpenUserManual(this, exeFolder, settings_.ShellLang, cityFolder); });

    auto* row = new QHBoxLayout;
    row->addWidget(cbHelp);
    row->addStretch(1);
    row->addWidget(btnHelp);
    row->addWidget(btnNext);
    row->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(mem, 1);
    layout->addLayout(row);
}

void TfrmHelp::ShowTip() {
    const QStringList& tips = HelpTips();
    const int i = std::clamp(pickTip(int(tips.size())), 0, int(tips.size()) - 1);
    mem->setPlainText(LangText(u"Know", settings_.ShellLang) + QStringLiteral("\n\n... ") + tips[i] +
                      QStringLiteral(".\n\n") + WithLineBreaks(LangText(u"Look", settings_.ShellLang)));
}

void TfrmHelp::showEvent(QShowEvent* e) {
    setWindowTitle(LangText(u"Tips", settings_.ShellLang));
    btnNext->setText(LangText(u"NextTip", settings_.ShellLang));
    btnClose->setText(LangText(u"Close", settings_.ShellLang));
    cbHelp->setText(LangText(u"ShowTips", settings_.ShellLang));
    cbHelp->setChecked(settings_.ShowHelp);
    ShowTip();
    QDialog::showEvent(e);
    PlaceOnScreen(this);
}
