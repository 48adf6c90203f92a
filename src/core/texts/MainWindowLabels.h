// The captions, hints and prompts of the main window by control name, in the order the interface
// language change sets them. The main window applies them with RelabelWindow (ui/Relabel.h).
#pragma once

#include <QString>
#include <span>

enum class LabelTarget {
    Text,   // caption of a label, button, check box, menu item or panel
    Hint,   // tooltip only
    Prompt, // a search field: the prompt becomes its hint and its text, discarding what it held
};

struct MainWindowLabel {
    const char* control;
    LabelTarget target;
    const char* key;
    const char* suffix = "";
    bool needsInternet = false; // description gets "\r" + InetNeed
};

std::span<const MainWindowLabel> MainWindowLabels();

// The text a row gives in `shellLang`.
QString MainWindowLabelText(const MainWindowLabel& label, int shellLang);

// Hover hint panels and their description labels; each panel is widened to fit its description.
struct HintPanel {
    const char* panel;
    const char* description;
};
std::span<const HintPanel> MainWindowHintPanels();
