#include "alarm/form_alarm.h"

#include "base/clock.h"
#include "model/note_alarm.h"
#include "platform/locale_texts.h"
#include "widgets/cspin_edit.h"
#include "widgets/error_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

namespace {

constexpr const char *periodNames[] = {"minute", "hour", "day", "week", "month"};

// "name|patterns|name|patterns" as Qt's file dialog takes it: "name (patterns);;name (patterns)". The name
// already shows its patterns; Qt reads the patterns from the parentheses, blank-separated.
QString toQtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        QString name = parts[i];
        const qsizetype open = name.lastIndexOf(QLatin1Char('('));
        if (open >= 0)
            name.truncate(open);
        entries << QStringLiteral("%1 (%2)").arg(name.trimmed(), patterns);
    }
    return entries.join(QLatin1String(";;"));
}

} // namespace

TAlarmTimeEdit::TAlarmTimeEdit(QWidget *parent)
    : QLineEdit(parent)
{
    // Qt's mask: 0 a digit that may be missing, 9 a digit that must be there; a missing one is a blank.
    setInputMask(QStringLiteral("09:99; "));
    setMaxLength(5);
}

void TAlarmTimeEdit::setMaskedText(const QString &text)
{
    setText(text);
    setModified(false);
    m_textAtFocus = displayText();
}

void TAlarmTimeEdit::focusInEvent(QFocusEvent *event)
{
    if (!m_refusing)
        m_textAtFocus = displayText();
    QLineEdit::focusInEvent(event);
}

void TAlarmTimeEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // A popup (the context menu) or a switch to another program is no leaving of the field.
    if (m_refusing || !isModified() || hasAcceptableInput() || event->reason() == Qt::PopupFocusReason ||
        event->reason() == Qt::ActiveWindowFocusReason)
        return;
    m_refusing = true;
    QApplication::beep();
    // After the focus change has ended: the message is modal, and the focus must come back here.
    QTimer::singleShot(0, this, [this] {
        ErrorDialog::show(QString::fromLatin1(invalidInputMessage));
        setFocus(Qt::OtherFocusReason);
        m_refusing = false;
    });
}

void TAlarmTimeEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && isModified()) {
        setMaskedText(m_textAtFocus);
        selectAll();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

TFormAlarm::TFormAlarm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , OpenDialogFilter(QStringLiteral("All Supported Files (*.wav;*.mp3)|*.wav;*.mp3|WAV Files (*.wav)|*.wav|"
                                      "MP3 Files (*.mp3)|*.mp3"))
    , MessageTimePassed(QStringLiteral("The alarm time has already passed"))
{
    setObjectName(QStringLiteral("FormAlarm"));
    setWindowTitle(QStringLiteral("Set Alarm"));
    setFixedSize(307, 187);
    QFont font = this->font();
    font.setPixelSize(11);
    setFont(font);

    // Made in tab order, so that the focus chain is the tab order.
    DateTimePicker1 = new QDateEdit(this);
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker1->setGeometry(136, 56, 113, 21);
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setDisplayFormat(QLocale::system().dateFormat(QLocale::ShortFormat));
    // Two-digit years typed into the picker mean this century.
    DateTimePicker1->setMinimumDate(QDate(2000, 1, 1));

    MaskEditTime = new TAlarmTimeEdit(this);
    MaskEditTime->setObjectName(QStringLiteral("MaskEditTime"));
    MaskEditTime->setGeometry(72, 56, 57, 21);
    MaskEditTime->setMaskedText(QStringLiteral("12:00"));

    EditFileSound = new QLineEdit(this);
    EditFileSound->setObjectName(QStringLiteral("EditFileSound"));
    EditFileSound->setGeometry(72, 112, 161, 21);

    ButtonSelectSound = new QPushButton(QStringLiteral("Select"), this);
    ButtonSelectSound->setObjectName(QStringLiteral("ButtonSelectSound"));
    ButtonSelectSound->setGeometry(240, 112, 57, 22);
    ButtonSelectSound->setAutoDefault(false);

    // Not the default button: Enter presses it only while it has the focus (keyPressEvent). Neither button
    // may be auto-default, or the dialog would make the first of them, "Select", answer Enter everywhere.
    ButtonOk = new QPushButton(QStringLiteral("OK"), this);
    ButtonOk->setObjectName(QStringLiteral("ButtonOk"));
    ButtonOk->setGeometry(120, 152, 75, 25);
    ButtonOk->setAutoDefault(false);

    CheckBoxPlaySound = new QCheckBox(QStringLiteral("Play Sound"), this);
    CheckBoxPlaySound->setObjectName(QStringLiteral("CheckBoxPlaySound"));
    CheckBoxPlaySound->setGeometry(7, 88, 122, 17);

    CSpinEditTime = new TCSpinEdit(this);
    CSpinEditTime->setObjectName(QStringLiteral("CSpinEditTime"));
    CSpinEditTime->setGeometry(72, 32, 57, 22);
    CSpinEditTime->setMinValue(1);
    CSpinEditTime->setMaxValue(100);
    CSpinEditTime->setValue(1);

    ComboBoxPeriod = new QComboBox(this);
    ComboBoxPeriod->setObjectName(QStringLiteral("ComboBoxPeriod"));
    ComboBoxPeriod->setGeometry(136, 32, 113, 21);
    for (const char *name : periodNames)
        ComboBoxPeriod->addItem(QString::fromLatin1(name));

    RadioButtonIn = new QRadioButton(QStringLiteral("In"), this);
    RadioButtonIn->setObjectName(QStringLiteral("RadioButtonIn"));
    RadioButtonIn->setGeometry(8, 36, 57, 17);

    RadioButtonAt = new QRadioButton(QStringLiteral("At"), this);
    RadioButtonAt->setObjectName(QStringLiteral("RadioButtonAt"));
    RadioButtonAt->setGeometry(8, 60, 57, 17);

    CheckBoxAlarm = new QCheckBox(QStringLiteral("Enable Alarm"), this);
    CheckBoxAlarm->setObjectName(QStringLiteral("CheckBoxAlarm"));
    CheckBoxAlarm->setGeometry(7, 8, 122, 17);

    LabelFileSound = new QLabel(QStringLiteral("Sound File:"), this);
    LabelFileSound->setObjectName(QStringLiteral("LabelFileSound"));
    LabelFileSound->setGeometry(8, 116, 53, 13);
    fitCaptions();

    for (QWidget *control :
         std::initializer_list<QWidget *>{RadioButtonIn, CSpinEditTime, ComboBoxPeriod, RadioButtonAt, MaskEditTime,
                                          DateTimePicker1, LabelFileSound, EditFileSound, ButtonSelectSound})
        control->setEnabled(false);

    connect(CheckBoxAlarm, &QCheckBox::clicked, this, &TFormAlarm::CheckBoxAlarmClick);
    connect(RadioButtonIn, &QRadioButton::clicked, this, &TFormAlarm::RadioButtonInClick);
    connect(RadioButtonAt, &QRadioButton::clicked, this, &TFormAlarm::RadioButtonAtClick);
    connect(CheckBoxPlaySound, &QCheckBox::clicked, this, &TFormAlarm::CheckBoxPlaySoundClick);
    connect(ButtonSelectSound, &QPushButton::clicked, this, &TFormAlarm::ButtonSelectSoundClick);
    connect(ButtonOk, &QPushButton::clicked, this, &TFormAlarm::ButtonOkClick);

    chooseFile = [this](const QString &folder, const QString &filter) {
        return QFileDialog::getOpenFileName(this, QString(), folder, filter);
    };

    RadioButtonIn->setChecked(true);
    ComboBoxPeriod->setCurrentIndex(0);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TFormAlarm::applyAlarmRule()
{
    const bool on = CheckBoxAlarm->isChecked();
    RadioButtonIn->setEnabled(on);
    RadioButtonAt->setEnabled(on);
    const bool in = RadioButtonIn->isChecked();
    const bool at = RadioButtonAt->isChecked();
    CSpinEditTime->setEnabled(on && in);
    ComboBoxPeriod->setEnabled(on && in);
    MaskEditTime->setEnabled(on && at);
    DateTimePicker1->setEnabled(on && at);
}

void TFormAlarm::applySoundRule()
{
    const bool on = CheckBoxPlaySound->isChecked();
    LabelFileSound->setEnabled(on);
    EditFileSound->setEnabled(on);
    ButtonSelectSound->setEnabled(on);
}

void TFormAlarm::CheckBoxAlarmClick()
{
    applyAlarmRule();
}

void TFormAlarm::RadioButtonInClick()
{
    RadioButtonAt->setChecked(false);
    MaskEditTime->setEnabled(false);
    DateTimePicker1->setEnabled(false);
    CSpinEditTime->setEnabled(true);
    ComboBoxPeriod->setEnabled(true);
}

void TFormAlarm::RadioButtonAtClick()
{
    RadioButtonIn->setChecked(false);
    CSpinEditTime->setEnabled(false);
    ComboBoxPeriod->setEnabled(false);
    MaskEditTime->setEnabled(true);
    DateTimePicker1->setEnabled(true);
}

void TFormAlarm::CheckBoxPlaySoundClick()
{
    if (onPlaySoundChanged)
        onPlaySoundChanged(CheckBoxPlaySound->isChecked());
    applySoundRule();
}

void TFormAlarm::ButtonSelectSoundClick()
{
    const QString chosen = chooseFile(QFileInfo(DefaultSoundFile).absolutePath(), toQtFilter(OpenDialogFilter));
    if (!chosen.isEmpty())
        EditFileSound->setText(chosen);
}

void TFormAlarm::ButtonOkClick()
{
    // Such an alarm would be stored armed and never ring; the user corrects it in the dialog still open.
    if (atTimePassed()) {
        ErrorDialog::show(MessageTimePassed);
        return;
    }
    if (onOk)
        onOk();
    accept();
}

void TFormAlarm::fill(const AlarmFields &fields, const QDateTime &now)
{
    CheckBoxAlarm->setChecked(fields.enabled);
    (fields.countdown ? RadioButtonIn : RadioButtonAt)->setChecked(true);
    applyAlarmRule();
    CSpinEditTime->setValue(fields.countStart);
    ComboBoxPeriod->setCurrentIndex(fields.period >= 0 && fields.period < ComboBoxPeriod->count() ? fields.period : -1);
    const QDateTime nextMinute = QDateTime(now.date(), QTime(now.time().hour(), now.time().minute())).addSecs(60);
    QDate date = nextMinute.date();
    if (!fields.date.isEmpty()) {
        const QDate stored = LocaleTexts::parseShortDate(fields.date);
        if (stored.isValid())
            date = stored;
        else
            ErrorDialog::show(QStringLiteral("'%1' is not a valid date").arg(fields.date));
    }
    DateTimePicker1->setDate(date);
    const bool timeKnown = !fields.date.isEmpty() && !fields.time.isEmpty();
    MaskEditTime->setMaskedText(timeKnown ? fields.time : LocaleTexts::hourMinute(nextMinute.time()));
    CheckBoxPlaySound->setChecked(fields.playSound);
    applySoundRule();
    EditFileSound->setText(fields.soundFile);
}

AlarmFields TFormAlarm::values() const
{
    AlarmFields fields;
    fields.enabled = CheckBoxAlarm->isChecked();
    fields.date = LocaleTexts::shortDate(DateTimePicker1->date());
    fields.time = MaskEditTime->maskedText();
    fields.countdown = RadioButtonIn->isChecked();
    fields.countStart = CSpinEditTime->value();
    fields.period = ComboBoxPeriod->currentIndex();
    fields.playSound = CheckBoxPlaySound->isChecked();
    fields.soundFile = EditFileSound->text();
    return fields;
}

bool TFormAlarm::atTimePassed() const
{
    if (!CheckBoxAlarm->isChecked() || !RadioButtonAt->isChecked())
        return false;
    NoteAlarm alarm;
    alarm.fields = values();
    // Its own minute is not past yet: the check finds such an alarm due at once. A time that never reads
    // ("25:99", a blank for the first digit) is no moment, and OK stores it as typed.
    const std::optional<QDateTime> moment = alarm.atMoment(QLocale::system());
    return moment && moment->addSecs(60) <= Clock::current().now();
}

std::optional<qint64> TFormAlarm::countdownSeconds() const
{
    const qint64 unit = NoteAlarm::secondsPerPeriod(ComboBoxPeriod->currentIndex());
    if (unit < 0)
        return std::nullopt;
    return qint64(CSpinEditTime->value()) * unit;
}

void TFormAlarm::showEvent(QShowEvent *event)
{
    // The captions may have come from a language file since the last showing.
    fitCaptions();
    QDialog::showEvent(event);
}

void TFormAlarm::fitCaptions()
{
    // The two check boxes have the dialog's width to their right; a longer caption (another language, a
    // wider font) takes it rather than being cut.
    for (QCheckBox *box : {CheckBoxAlarm, CheckBoxPlaySound})
        box->resize(qBound(122, box->sizeHint().width(), width() - box->x() - 8), box->height());
    // The label as wide as its text, the file box giving way up to half its designed width.
    constexpr int labelLeft = 8, labelMinWidth = 53, editLeft = 72, editRight = 233, gap = 4;
    const int labelWidth = qBound(labelMinWidth, LabelFileSound->sizeHint().width(), (editLeft + editRight) / 2 - gap);
    LabelFileSound->resize(labelWidth, LabelFileSound->height());
    const int fileLeft = qMax(editLeft, labelLeft + labelWidth + gap);
    EditFileSound->setGeometry(fileLeft, EditFileSound->y(), editRight - fileLeft, EditFileSound->height());
}

void TFormAlarm::keyPressEvent(QKeyEvent *event)
{
    // There is no Cancel: Esc leaves the dialog open.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    const bool enter = (event->key() == Qt::Key_Return && event->modifiers() == Qt::NoModifier) ||
                       (event->key() == Qt::Key_Enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier);
    if (enter) {
        if (focusWidget() == ButtonOk)
            ButtonOk->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
