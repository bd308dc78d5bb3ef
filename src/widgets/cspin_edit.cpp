#include "widgets/cspin_edit.h"

#include "widgets/cspin_button.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QStyleOptionFrame>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

namespace {

// The thin border line of the desktop; the minimum height counts four of them.
constexpr int kBorderHeight = 1;

TCSpinEdit::BeepHandler &beepHandler()
{
    static TCSpinEdit::BeepHandler handler;
    return handler;
}

// Optional sign and decimal digits only: no blanks, no hexadecimal, nothing outside the 32-bit range.
std::optional<int> parseInt32(const QString &text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > qint64(1) << 31)
            return std::nullopt;
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

// The characters a key press types, as the keyboard delivers them: Ctrl with a letter gives the letter's control
// code (so Ctrl+M is Enter and Ctrl+V is 22), and the editing keys that type a control character give it even
// where the platform sends no text. Keys that only move or delete type nothing.
QString typedText(const QKeyEvent *event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if ((modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier) && key >= Qt::Key_A && key <= Qt::Key_Z)
        return QString(QChar(key - Qt::Key_A + 1));
    switch (key) {
    case Qt::Key_Backspace:
        return QStringLiteral("\b");
    case Qt::Key_Tab:
        return QStringLiteral("\t");
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QStringLiteral("\r");
    case Qt::Key_Escape:
        return QStringLiteral("\x1b");
    case Qt::Key_Delete:
        return {};
    default:
        return event->text();
    }
}

int wrappingStep(int value, int increment, bool up)
{
    const auto base = static_cast<quint32>(value);
    const auto step = static_cast<quint32>(increment);
    return static_cast<qint32>(up ? base + step : base - step);
}

} // namespace

TCSpinEdit::TCSpinEdit(QWidget *parent)
    : QLineEdit(parent)
    , m_button(new TCSpinButton(this))
{
    setText(QStringLiteral("0"));
    setInputMethodHints(Qt::ImhFormattedNumbersOnly);
    m_button->resize(buttonWidth, buttonHeight);
    m_button->setFocusControl(this);
    m_button->setCursor(Qt::ArrowCursor);
    m_button->OnUpClick = [this](QObject *sender) { UpClick(sender); };
    m_button->OnDownClick = [this](QObject *sender) { DownClick(sender); };
    updateMinimumHeight();
    layoutButton();
}

int TCSpinEdit::value()
{
    if (const std::optional<int> number = parseInt32(text()))
        return *number;
    setText(QString::number(m_minValue));
    return m_minValue;
}

void TCSpinEdit::setValue(int value)
{
    setText(QString::number(CheckValue(value)));
}

int TCSpinEdit::CheckValue(int value) const
{
    if (m_maxValue == m_minValue)
        return value;
    if (value < m_minValue)
        return m_minValue;
    if (value > m_maxValue)
        return m_maxValue;
    return value;
}

bool TCSpinEdit::IsValidChar(QChar key) const
{
    const char16_t code = key.unicode();
    // Only codes below 32 count as control characters; 127 and 128..159 are refused like any other.
    const bool control = code < 32;
    if (!m_editorEnabled)
        return control && code != u'\r' && code != u'\b';
    if (control)
        return code != u'\r';
    const QString separator = locale().decimalPoint();
    return (code >= u'0' && code <= u'9') || code == u'+' || code == u'-' ||
           (separator.size() == 1 && key == separator.front());
}

void TCSpinEdit::UpClick(QObject *sender)
{
    Q_UNUSED(sender);
    if (isReadOnly()) {
        Beep();
        return;
    }
    // The sum wraps around in 32 bits and only then meets the bounds, so a box without bounds steps from the
    // largest number to the smallest.
    setValue(wrappingStep(value(), m_increment, true));
}

void TCSpinEdit::DownClick(QObject *sender)
{
    Q_UNUSED(sender);
    if (isReadOnly()) {
        Beep();
        return;
    }
    setValue(wrappingStep(value(), m_increment, false));
}

int TCSpinEdit::minimumEditHeight() const
{
    const int fontHeight = QFontMetrics(font()).height();
    const int systemHeight = QFontMetrics(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).height();
    return fontHeight + std::min(systemHeight, fontHeight) / 4 + 4 * kBorderHeight + 2;
}

void TCSpinEdit::paste()
{
    if (editable())
        QLineEdit::paste();
}

void TCSpinEdit::cut()
{
    if (editable())
        QLineEdit::cut();
}

QMenu *TCSpinEdit::createStandardContextMenu()
{
    // Qt leaves Cut, Paste and the other editing commands out of a read-only box's menu, and the menu's actions
    // call QLineEdit's own slots; so a box with its editor disabled gets the menu of a read-only one.
    if (m_editorEnabled || isReadOnly())
        return QLineEdit::createStandardContextMenu();
    setReadOnly(true);
    QMenu *menu = QLineEdit::createStandardContextMenu();
    setReadOnly(false);
    return menu;
}

void TCSpinEdit::Beep()
{
    if (const BeepHandler &handler = beepHandler())
        handler();
    else
        QApplication::beep();
}

TCSpinEdit::BeepHandler TCSpinEdit::setBeepHandler(BeepHandler handler)
{
    return std::exchange(beepHandler(), std::move(handler));
}

void TCSpinEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        if (event->key() == Qt::Key_Up)
            UpClick(this);
        else
            DownClick(this);
        QLineEdit::keyPressEvent(event);
        // The step was the key's work; it does not travel on to the dialog.
        event->accept();
        return;
    }
    if (!editable() && (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut))) {
        event->accept();
        return;
    }
    bool refused = false;
    for (const QChar c : typedText(event)) {
        if (!IsValidChar(c)) {
            Beep();
            refused = true;
        }
    }
    if (refused) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TCSpinEdit::inputMethodEvent(QInputMethodEvent *event)
{
    const QString commit = event->commitString();
    QString accepted;
    for (const QChar c : commit) {
        if (IsValidChar(c))
            accepted += c;
        else
            Beep();
    }
    if (accepted.size() == commit.size()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(accepted, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
    event->accept();
}

void TCSpinEdit::focusInEvent(QFocusEvent *event)
{
    const bool hadSelection = hasSelectedText();
    QLineEdit::focusInEvent(event);
    // QLineEdit selects everything on Tab by itself; without auto-select the box must not.
    if (!m_autoSelect && !hadSelection && hasSelectedText())
        deselect();
    switch (event->reason()) {
    case Qt::MouseFocusReason:
        // Qt gives the focus before it delivers the press that brought it, and a press on the button pair (our
        // child) focuses the box too. Whether it was a left press into the box itself is known only once the press
        // has been delivered.
        m_mouseFocusPending = true;
        m_leftPressInBox = false;
        QTimer::singleShot(0, this, [this] {
            if (!m_mouseFocusPending)
                return;
            m_mouseFocusPending = false;
            if (m_autoSelect && !m_leftPressInBox && hasFocus())
                selectAll();
        });
        break;
    case Qt::PopupFocusReason:
        // Back from the context menu: the selection the user had stays.
        break;
    default:
        if (m_autoSelect)
            selectAll();
        break;
    }
}

void TCSpinEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    m_mouseFocusPending = false;
    // The context menu takes the focus only for a moment; the number is bounded when the user really leaves.
    if (event->reason() == Qt::PopupFocusReason)
        return;
    const int current = value();
    if (CheckValue(current) != current)
        setValue(current);
}

void TCSpinEdit::mousePressEvent(QMouseEvent *event)
{
    if (m_mouseFocusPending && event->button() == Qt::LeftButton)
        m_leftPressInBox = true;
    QLineEdit::mousePressEvent(event);
}

void TCSpinEdit::mouseReleaseEvent(QMouseEvent *event)
{
    // The middle button pastes the X11 selection.
    if (event->button() == Qt::MiddleButton && !editable()) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void TCSpinEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void TCSpinEdit::dragEnterEvent(QDragEnterEvent *event)
{
    if (!editable()) {
        event->ignore();
        return;
    }
    QLineEdit::dragEnterEvent(event);
}

void TCSpinEdit::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    const int minimum = minimumEditHeight();
    if (height() < minimum) {
        resize(width(), minimum);
        return;
    }
    layoutButton();
}

void TCSpinEdit::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateMinimumHeight();
    else if (event->type() == QEvent::StyleChange)
        layoutButton();
}

void TCSpinEdit::layoutButton()
{
    const int buttonW = m_button->width();
    if (hasFrame()) {
        // Inside the sunken border, one pixel clear of its right and bottom sides.
        QStyleOptionFrame option;
        initStyleOption(&option);
        const QRect client = rect().adjusted(option.lineWidth, option.lineWidth, -option.lineWidth, -option.lineWidth);
        m_button->setGeometry(client.right() - buttonW, client.top(), buttonW, client.height() - 1);
    } else {
        m_button->setGeometry(width() - buttonW, 0, buttonW, height());
    }
    // The text stops two pixels short of the buttons, so it never runs under them.
    const QMargins margins(0, 0, buttonW + 2, 0);
    if (textMargins() != margins)
        setTextMargins(margins);
}

void TCSpinEdit::updateMinimumHeight()
{
    setMinimumHeight(minimumEditHeight());
}
