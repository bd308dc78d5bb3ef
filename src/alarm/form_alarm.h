#pragma once

#include "store/alarm_fields.h"

#include <QDialog>
#include <QLineEdit>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QRadioButton;
class TCSpinEdit;

// The time of an alarm at a date: an optional hour digit, a required one, ":" and two required minute digits.
// The text keeps a blank where the first hour digit was left out (" 9:30"), and the field cannot be left while
// a required digit is missing after an edit; Esc gives back the text it had when the edit began.
class TAlarmTimeEdit : public QLineEdit {
    Q_OBJECT

public:
    static constexpr const char *invalidInputMessage = "Invalid input value.  Use escape key to abandon changes";

    explicit TAlarmTimeEdit(QWidget *parent = nullptr);
    // Every position, blanks included.
    QString maskedText() const { return displayText(); }
    void setMaskedText(const QString &text);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString m_textAtFocus;
    bool m_refusing = false;
};

// "Set Alarm": one dialog for every note, made at start-up and refilled at each opening, so nothing of the
// note it showed last stays in it. It edits the eight alarm fields of one note; the main form fills it,
// shows it and writes OK's values into the note it was opened for.
class TFormAlarm : public QDialog {
    Q_OBJECT
    // The file dialog is no widget of the form; its filter is reached under its text key's path as this.
    Q_PROPERTY(QString OpenDialog1Filter MEMBER OpenDialogFilter)
    // So is the message of OK on an alarm at a time already past.
    Q_PROPERTY(QString MessageTimePassedText MEMBER MessageTimePassed)

public:
    explicit TFormAlarm(QWidget *parent = nullptr);

    // The controls' fill from a note's fields. A note without "Date" gets the next whole minute after now in
    // both the picker and the time field, one without "Time" that minute's time. A "Date" that does not read
    // is reported through the error dialog and the picker shows today, so a note whose date is damaged can
    // still get a new alarm.
    void fill(const AlarmFields &fields, const QDateTime &now);
    // The fields as the controls hold them: what OK stores.
    AlarmFields values() const;
    // The countdown's seconds that OK sets: the count times the selected period; none without a period.
    std::optional<qint64> countdownSeconds() const;

    // The note (1-based) the dialog was opened for.
    int TargetNote = 0;
    // Where the file chooser of "Select" opens: the folder of this file.
    QString DefaultSoundFile;
    // "Play Sound" ticked or cleared: the note follows the box at once, also when the dialog is then closed
    // without OK.
    std::function<void(bool)> onPlaySoundChanged;
    // OK: the main form writes values() into the target note and saves the notes.
    std::function<void()> onOk;
    // Runs the file chooser; replaced by tests. Returns the chosen file, empty on cancel.
    std::function<QString(const QString &folder, const QString &filter)> chooseFile;

    void CheckBoxAlarmClick();
    void RadioButtonInClick();
    void RadioButtonAtClick();
    void CheckBoxPlaySoundClick();
    void ButtonSelectSoundClick();
    void ButtonOkClick();

    QCheckBox *CheckBoxAlarm;
    QRadioButton *RadioButtonIn;
    TCSpinEdit *CSpinEditTime;
    QComboBox *ComboBoxPeriod;
    QRadioButton *RadioButtonAt;
    TAlarmTimeEdit *MaskEditTime;
    QDateEdit *DateTimePicker1;
    QCheckBox *CheckBoxPlaySound;
    QLabel *LabelFileSound;
    QLineEdit *EditFileSound;
    QPushButton *ButtonSelectSound;
    QPushButton *ButtonOk;
    // The file chooser's filters in the form "name|patterns|name|patterns"; a language file may replace it.
    QString OpenDialogFilter;
    // OK refuses an enabled alarm at a date and time whose minute is over with this message.
    QString MessageTimePassed;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void fitCaptions();
    void applyAlarmRule();
    void applySoundRule();
    bool atTimePassed() const;
};
