// The colours window: the 18 colours a user may change, the scheme list with live preview on hover.
#pragma once

#include "ColorScheme.h"

#include <QColor>
#include <QComboBox>
#include <QDialog>
#include <array>
#include <functional>
#include <optional>

class QLabel;
class QGroupBox;
class QPushButton;
class TColorButton;
class THeaderGroup;
struct Settings;

// The scheme list; reports when its drop-down closes, which ends a preview.
class TSchemeCombo : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void hidePopup() override;
signals:
    void popupClosed();
};

class TfrmColors : public QDialog {
    Q_OBJECT
public:
    TfrmColors(Settings& settings, ColorSchemeTable& colors, QWidget* parent = nullptr);
    ~TfrmColors() override;

    // Runs after every change of the active colours: recolour the map objects and redraw the map.
    std::function<void()> colorsChanged;
    // The colour dialog; nothing when the user cancels. Tests replace it.
    std::function<std::optional<QColor>(const QColor& initial, QWidget* parent)> pickColor;

    void FormShow();
    // Copies the buttons into the active scheme, stores the scheme index, recolours and saves.
    void Applying();
    // Shows scheme `index` without saving, as hovering over the open list does.
    void Preview(int index);

    TSchemeCombo* cbColorScheme;
    QPushButton* btnOK;
    QPushButton* btnCancel;

protected:
    void showEvent(QShowEvent* e) override;

private:
    struct Row {
        const char* label;
        const char* key;
        const char* button;
        TColor TColorScheme::*field;
    };
    static const std::array<Row, 18> Rows;

    void ButtonsFromScheme();
    void EditColor(TColorButton* button);
    void SchemeChosen();
    void Changed();

    Settings& settings_;
    ColorSchemeTable& colors_;
    std::array<TColorButton*, 18> buttons_{};
    std::array<QLabel*, 18> labels_{};
    QGroupBox* pnl_;
    THeaderGroup* groups_[3];
    QLabel* txtColorScheme_;
    bool guard_ = false;
};
