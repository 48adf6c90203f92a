// The options window: shows the settings, stores them on OK and opens the colours window.
#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TClickPicture;
class TfrmColors;
class THeaderGroup;
struct ColorSchemeTable;
struct Settings;

class TfrmOptions : public QDialog {
    Q_OBJECT
public:
    TfrmOptions(Settings& settings, ColorSchemeTable& colors, QWidget* parent = nullptr);

    // Data-language names of the loaded city, for cbData; empty when no city is loaded.
    void SetDataLangNames(const QStringList& names);

    // Runs after every change of the active colours: recolour the map objects and redraw the map.
    std::function<void()> colorsChanged;
    // The file dialog of btnBrowse; an empty result changes nothing. Tests replace it.
    std::function<QString(QWidget* parent)> chooseFile;
    // Shows the colours window modally and gives its result. Tests replace it.
    std::function<int(TfrmColors& colors)> runColors;

    void FormShow();
    // Stores the controls into the settings and saves them (the OK button).
    void StoreSettings();

    QCheckBox *cbSmooth, *cbFlat, *cbPath, *cbContourText;
    QCheckBox *cbCenter, *cbCorner, *cbLeft, *cbRight, *cbGDI, *cbOpenGL;
    QCheckBox *cbInvert, *cbHelp, *cbBlink, *cbMetro, *cbUpdate, *cbEconomPrint, *cbAutoScrollMap,
        *cbShowFotoFirst;
    QLineEdit* edApp;
    QPushButton *btnBrowse, *btnChangeColors, *btnOK, *btnCancel;
    QComboBox *cbInterface, *cbData;
    QLabel *txtInterface, *txtData;
    TClickPicture *imgCenter, *imgCorner, *imgLeft, *imgRight;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void PairClick(QCheckBox* clicked, QCheckBox* partner);
    void ChangeColors();

    Settings& settings_;
    ColorSchemeTable& colors_;
    THeaderGroup *grpCPU_, *grpScaleMode_, *grpPosition_, *grpGrafMode_, *grpOther_, *grpPhone_, *grpLang_;
    QStringList dataLangNames_;
    TfrmColors* frmColors_ = nullptr;
    bool pairing_ = false;
};
