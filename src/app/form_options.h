#pragma once

#include "store/settings.h"

#include <QColor>
#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

// The options dialog: the opacity and colour of new notes, each applied at once to every open note, and
// whether the program starts at logon. It keeps no setting of its own: it writes the program's settings,
// which the main form applies and writes at exit.
class TFormOptions : public QDialog {
    Q_OBJECT

public:
    explicit TFormOptions(Settings &settings, QWidget *parent = nullptr);

    // The slider shows percent, a note has an alpha of 0 to 255. Both conversions truncate, so a round
    // trip can lose a step: 50 % gives 127, 127 gives 49 %, and 100 % gives 254. An alpha outside 0 to 255
    // (the settings file imposes no range) gives 0 or 100 %.
    static int percentToAlpha(int percent);
    static int alphaToPercent(int alpha);

    // Opens the dialog modally. The language's texts come first, then the controls are set from the
    // settings; setting them changes no note, only the user's own moves do.
    int execute();

    // Runs first at every opening to put the current language's texts into the dialog, whose controls
    // carry the names of their text keys ("FormOptions->LabelOpacity->Caption"). The main form's
    // ApplyLanguage binds here; while nothing is bound, the built-in English texts stay.
    void setApplyLanguage(std::function<void()> applyLanguage) { m_applyLanguage = std::move(applyLanguage); }

    // Asks for a colour, starting from initial; an invalid colour means cancelled. The colour dialog by
    // default; tests put their own choice here.
    using ColorPicker = std::function<QColor(const QColor &initial, QWidget *parent)>;
    void setColorPicker(ColorPicker picker) { m_colorPicker = std::move(picker); }

    // "Close" writes the notes through this; it throws AppError when they cannot be written, and the dialog
    // then stays open. While nothing is bound, "Close" only closes.
    void setSaveNotes(std::function<void()> saveNotes) { m_saveNotes = std::move(saveNotes); }

    void TrackBar1Change();
    void ButtonColorClick();
    void ButtonCloseClick();
    void CheckBoxAutoStartClick();

    QLabel *LabelOpacity() const { return m_labelOpacity; }
    QSlider *TrackBar1() const { return m_trackBar; }
    QPushButton *ButtonColor() const { return m_buttonColor; }
    QPushButton *ButtonClose() const { return m_buttonClose; }
    QCheckBox *CheckBoxAutoStart() const { return m_checkBoxAutoStart; }

signals:
    // The user chose a default opacity or colour (key Opacity or Color), written to the settings, for every
    // open note too. Also sent when the setting kept its value, as the notes may differ from it.
    void appliedToNotes(Settings::Key key);

private:
    Settings &m_settings;
    QLabel *m_labelOpacity;
    QSlider *m_trackBar;
    QPushButton *m_buttonColor;
    QPushButton *m_buttonClose;
    QCheckBox *m_checkBoxAutoStart;
    // The colour dialog opens on the colour it gave last, black at first.
    QColor m_lastColor = Qt::black;
    ColorPicker m_colorPicker;
    std::function<void()> m_applyLanguage;
    std::function<void()> m_saveNotes;
};
