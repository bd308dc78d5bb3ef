#include "widgets/cspin_button.h"

#include "widgets/timer_speed_button.h"

#include <QImage>
#include <QKeyEvent>
#include <QPainter>

namespace {

constexpr int kGlyphWidth = 9;
constexpr int kGlyphHeight = 6;

bool isTabStop(const QWidget *widget)
{
    return widget->focusPolicy() & Qt::TabFocus;
}

bool canTakeFocus(const QWidget *widget)
{
    return widget->isEnabled() && widget->isVisible();
}

// The default glyphs are drawn in the palette's button text colour, so the triangles stay visible on a dark theme;
// a glyph the caller set is shown as it is.
QPixmap tinted(const QPixmap &glyph, const QColor &colour)
{
    QPixmap result = glyph;
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(result.rect(), colour);
    return result;
}

} // namespace

TCSpinButton::TCSpinButton(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    m_upButton = createButton();
    m_downButton = createButton();
    m_focusedButton = m_upButton;
    applyGlyphs();
    setMinimumWidth(minimumButtonWidth);
    resize(20, 25);
}

TTimerSpeedButton *TCSpinButton::createButton()
{
    auto *button = new TTimerSpeedButton(this);
    button->setRepeatEnabled(true);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    connect(button, &TTimerSpeedButton::clicked, this, [this, button] { buttonClicked(button); });
    connect(button, &TTimerSpeedButton::pressed, this, [this, button] { buttonPressed(button); });
    return button;
}

QPixmap TCSpinButton::defaultGlyph(Qt::ArrowType direction)
{
    QImage image(kGlyphWidth, kGlyphHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    // Rows 1 to 4 hold the triangle, 1, 3, 5 and 7 pixels wide, centred in the 9 columns.
    for (int step = 0; step < 4; ++step) {
        const int row = direction == Qt::UpArrow ? 1 + step : kGlyphHeight - 2 - step;
        for (int column = 4 - step; column <= 4 + step; ++column)
            image.setPixel(column, row, qRgb(0, 0, 0));
    }
    return QPixmap::fromImage(image);
}

QPixmap TCSpinButton::upGlyph() const
{
    return m_upGlyph.isNull() ? defaultGlyph(Qt::UpArrow) : m_upGlyph;
}

void TCSpinButton::setUpGlyph(const QPixmap &glyph)
{
    m_upGlyph = glyph;
    applyGlyphs();
}

QPixmap TCSpinButton::downGlyph() const
{
    return m_downGlyph.isNull() ? defaultGlyph(Qt::DownArrow) : m_downGlyph;
}

void TCSpinButton::setDownGlyph(const QPixmap &glyph)
{
    m_downGlyph = glyph;
    applyGlyphs();
}

void TCSpinButton::applyGlyphs()
{
    const QColor text = palette().color(QPalette::ButtonText);
    const auto apply = [&](TTimerSpeedButton *button, const QPixmap &own, Qt::ArrowType direction) {
        const QPixmap glyph = own.isNull() ? tinted(defaultGlyph(direction), text) : own;
        button->setIcon(QIcon(glyph));
        button->setIconSize(glyph.deviceIndependentSize().toSize());
    };
    apply(m_upButton, m_upGlyph, Qt::UpArrow);
    apply(m_downButton, m_downGlyph, Qt::DownArrow);
}

void TCSpinButton::layoutButtons()
{
    // The two halves overlap by one pixel, so their borders meet in a single line.
    const int w = width();
    const int h = height();
    m_upButton->setGeometry(0, 0, w, h / 2);
    const int upHeight = m_upButton->height();
    m_downButton->setGeometry(0, upHeight - 1, w, h - upHeight + 1);
}

void TCSpinButton::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutButtons();
}

void TCSpinButton::buttonClicked(TTimerSpeedButton *button)
{
    const auto &handler = button == m_upButton ? OnUpClick : OnDownClick;
    if (handler)
        handler(this);
}

void TCSpinButton::buttonPressed(TTimerSpeedButton *button)
{
    setFocusedButton(button);
    if (m_focusControl && isTabStop(m_focusControl) && canTakeFocus(m_focusControl) && !m_focusControl->hasFocus())
        m_focusControl->setFocus(Qt::OtherFocusReason);
    else if (isTabStop(this) && canTakeFocus(this) && !hasFocus())
        setFocus(Qt::OtherFocusReason);
}

void TCSpinButton::setFocusedButton(TTimerSpeedButton *button)
{
    if (!isTabStop(this) || !canTakeFocus(this) || button == m_focusedButton)
        return;
    m_focusedButton->setFocusMark(false);
    m_focusedButton = button;
    if (hasFocus())
        m_focusedButton->setFocusMark(true);
}

void TCSpinButton::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    m_focusedButton->setFocusMark(true);
}

void TCSpinButton::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    m_focusedButton->setFocusMark(false);
}

void TCSpinButton::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
        buttonClicked(m_focusedButton);
        break;
    case Qt::Key_Up:
        setFocusedButton(m_upButton);
        buttonClicked(m_upButton);
        break;
    case Qt::Key_Down:
        setFocusedButton(m_downButton);
        buttonClicked(m_downButton);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TCSpinButton::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyGlyphs();
}
