#include "app/form_options.h"

#include "i18n/text_catalog.h"
#include "platform/gui/window.h"
#include "widgets/error_dialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

namespace {

using TextCatalog::builtInText;

quint32 toDesignColor(const QColor &color)
{
    return quint32(color.red()) | quint32(color.green()) << 8 | quint32(color.blue()) << 16;
}

} // namespace

TFormOptions::TFormOptions(Settings &settings, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint)
    , m_settings(settings)
    , m_colorPicker([](const QColor &initial, QWidget *owner) { return QColorDialog::getColor(initial, owner); })
{
    setObjectName(QStringLiteral("FormOptions"));
    setWindowTitle(builtInText(u"FormOptions->Caption"));
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    m_labelOpacity = new QLabel(builtInText(u"FormOptions->LabelOpacity->Caption"), this);
    m_labelOpacity->setObjectName(QStringLiteral("LabelOpacity"));
    m_labelOpacity->setTextFormat(Qt::PlainText);

    m_trackBar = new QSlider(Qt::Horizontal, this);
    m_trackBar->setObjectName(QStringLiteral("TrackBar1"));
    m_trackBar->setRange(0, 100);
    m_trackBar->setSingleStep(1);
    m_trackBar->setValue(100);
    m_trackBar->setTickPosition(QSlider::NoTicks);
    m_trackBar->setMinimumWidth(81);

    m_buttonColor = new QPushButton(builtInText(u"FormOptions->ButtonColor->Caption"), this);
    m_buttonColor->setObjectName(QStringLiteral("ButtonColor"));
    m_buttonClose = new QPushButton(builtInText(u"FormOptions->ButtonClose->Caption"), this);
    m_buttonClose->setObjectName(QStringLiteral("ButtonClose"));
    for (QPushButton *button : {m_buttonColor, m_buttonClose})
        button->setMinimumSize(75, 25);

    m_checkBoxAutoStart = new QCheckBox(builtInText(u"FormOptions->CheckBoxAutoStart->Caption"), this);
    m_checkBoxAutoStart->setObjectName(QStringLiteral("CheckBoxAutoStart"));

    // The opacity row above the two buttons, the start-at-logon box under them; the dialog takes the size
    // its texts need in the current language and cannot be resized.
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(8, 8, 12, 8);
    grid->setHorizontalSpacing(5);
    grid->setVerticalSpacing(6);
    grid->addWidget(m_labelOpacity, 0, 0);
    grid->addWidget(m_trackBar, 0, 1);
    grid->addWidget(m_buttonColor, 1, 0);
    grid->addWidget(m_buttonClose, 1, 1);
    grid->addWidget(m_checkBoxAutoStart, 2, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_trackBar, &QSlider::valueChanged, this, &TFormOptions::TrackBar1Change);
    connect(m_buttonColor, &QPushButton::clicked, this, &TFormOptions::ButtonColorClick);
    connect(m_buttonClose, &QPushButton::clicked, this, &TFormOptions::ButtonCloseClick);
    // clicked, not toggled: only the user's click applies, never the box being set at opening.
    connect(m_checkBoxAutoStart, &QCheckBox::clicked, this, &TFormOptions::CheckBoxAutoStartClick);
    // Start at logon that could not be applied goes back, and the box with it, to what is really in force.
    connect(&m_settings, &Settings::changed, this, [this](Settings::Key key) {
        if (key == Settings::Key::AutoStart)
            m_checkBoxAutoStart->setChecked(m_settings.autoStart());
    });
}

int TFormOptions::percentToAlpha(int percent)
{
    // The whole part of percent x 2.55 where 2.55 is the double just below it: one less wherever the exact
    // product is whole, which is what (51 x percent - 1) / 20 gives.
    return (51 * percent - 1) / 20;
}

int TFormOptions::alphaToPercent(int alpha)
{
    return int(std::clamp(qint64(alpha) * 100 / 255, qint64(0), qint64(100)));
}

int TFormOptions::execute()
{
    // Asked again while open (the tray menu can still be reached): the open dialog comes to the front.
    if (isVisible()) {
        Window::bringToFront(this);
        return QDialog::Rejected;
    }
    if (m_applyLanguage)
        m_applyLanguage();
    {
        // Set silently: the position comes from the opacity setting and truncates, so letting it through the
        // change handler would lower the setting and every open note by a step at each opening (127 to 124).
        const QSignalBlocker quiet(m_trackBar);
        m_trackBar->setValue(alphaToPercent(m_settings.opacity()));
    }
    m_checkBoxAutoStart->setChecked(m_settings.autoStart());
    Window::centreOnScreen(this);
    return exec();
}

void TFormOptions::TrackBar1Change()
{
    m_settings.setOpacity(percentToAlpha(m_trackBar->value()));
    Q_EMIT appliedToNotes(Settings::Key::Opacity);
}

void TFormOptions::ButtonColorClick()
{
    const QColor chosen = m_colorPicker(m_lastColor, this);
    if (!chosen.isValid())
        return;
    m_lastColor = chosen;
    m_settings.setColor(toDesignColor(chosen));
    Q_EMIT appliedToNotes(Settings::Key::Color);
}

void TFormOptions::ButtonCloseClick()
{
    // A store that cannot be written is reported and the dialog stays open, so the user sees that nothing
    // was saved.
    if (ErrorDialog::guard([this] {
            if (m_saveNotes)
                m_saveNotes();
        }))
        accept();
}

void TFormOptions::CheckBoxAutoStartClick()
{
    // Applied by whoever follows the setting (the main form); one that fails puts the setting back.
    m_settings.setAutoStart(m_checkBoxAutoStart->isChecked());
}
