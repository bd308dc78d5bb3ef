#pragma once

#include <QColor>
#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;
class TForm1;

// The options dialog: the opacity and colour of new notes, each applied at once to every open note, and
// whether the program starts at logon. It keeps no setting of its own; it works on the main form's
// DefaultOpacity, DefaultColor and AutoStart, which the main form writes at exit.
class TFormOptions : public QDialog {
    Q_OBJECT

public:
    explicit TFormOptions(TForm1 *form, QWidget *parent = nullptr);

    // The slider shows percent, a note has an alpha of 0 to 255. Both conversions truncate, so a round
    // trip can lose a step: 50 % gives 127, 127 gives 49 %, and 100 % gives 254. An alpha outside 0 to 255
    // (the settings file imposes no range) gives 0 or 100 %.
    static int percentToAlpha(int percent);
    static int alphaToPercent(int alpha);

    // Opens the dialog modally. The language's texts come first, then the controls are set from the main
    // form's fields; setting them changes no note, only the user's own moves do.
    int execute();

    // Runs first at every opening to put the current language's texts into the dialog, whose controls
    // carry the names of their text keys ("FormOptions->LabelOpacity->Caption"). The main form's
    // ApplyLanguage binds here; while nothing is bound, the built-in English texts stay.
    void setApplyLanguage(std::function<void()> applyLanguage) { m_applyLanguage = std::move(applyLanguage); }

    // Asks for a colour, starting from initial; an invalid colour means cancelled. The colour dialog by
    // default; tests put their own choice here.
    using ColorPicker = std::function<QColor(const QColor &initial, QWidget *parent)>;
    void setColorPicker(ColorPicker picker) { m_colorPicker = std::move(picker); }

    void TrackBar1Change();
    void ButtonColorClick();
    void ButtonCloseClick();
    void CheckBoxAutoStartClick();

    QLabel *LabelOpacity() const { return m_labelOpacity; }
    QSlider *TrackBar1() const { return m_trackBar; }
    QPushButton *ButtonColor() const { return m_buttonColor; }
    QPushButton *ButtonClose() const { return m_buttonClose; }
    QCheckBox *CheckBoxAutoStart() const { return m_checkBoxAutoStart; }

private:
    TForm1 *m_form;
    QLabel *m_labelOpacity;
    QSlider *m_trackBar;
    QPushButton *m_buttonColor;
    QPushButton *m_buttonClose;
    QCheckBox *m_checkBoxAutoStart;
    // The colour dialog opens on the colour it gave last, black at first.
    QColor m_lastColor = Qt::black;
    ColorPicker m_colorPicker;
    std::function<void()> m_applyLanguage;
};
