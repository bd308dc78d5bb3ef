#include "note/note_font_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QPixmap>

namespace {

struct NamedColor {
    const char *name;
    QRgb rgb;
};

constexpr NamedColor basicColors[] = {
    {"Black", 0x000000},  {"Maroon", 0x800000},  {"Green", 0x008000}, {"Olive", 0x808000},
    {"Navy", 0x000080},   {"Purple", 0x800080},  {"Teal", 0x008080},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0xFF0000},     {"Lime", 0x00FF00},  {"Yellow", 0xFFFF00},
    {"Blue", 0x0000FF},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0x00FFFF},  {"White", 0xFFFFFF},
};

QIcon swatch(QColor color)
{
    QPixmap pixmap(16, 12);
    pixmap.fill(color);
    QPainter painter(&pixmap);
    painter.setPen(Qt::darkGray);
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}

} // namespace

NoteFontDialog::NoteFontDialog(const NoteFont &initial, QWidget *parent)
    : QFontDialog(parent)
{
    // Qt's own dialog: the platform's has no place for a colour.
    setOption(QFontDialog::DontUseNativeDialog);
    setCurrentFont(initial.font);

    m_color = new QComboBox(this);
    m_color->setObjectName(QStringLiteral("colorBox"));
    for (const NamedColor &entry : basicColors)
        m_color->addItem(swatch(QColor(entry.rgb)), QString::fromLatin1(entry.name), QColor(entry.rgb));
    int index = m_color->findData(initial.color);
    if (index < 0 && initial.color.isValid()) {
        m_color->addItem(swatch(initial.color), initial.color.name(), initial.color);
        index = m_color->count() - 1;
    }
    m_color->setCurrentIndex(qMax(index, 0));

    // Beside underline and strike-out in the effects box; below the dialog's own controls should a later
    // Qt arrange the box differently.
    auto *label = new QLabel(QStringLiteral("Color"), this);
    label->setBuddy(m_color);
    const QList<QCheckBox *> effects = findChildren<QCheckBox *>();
    QLayout *box = effects.isEmpty() ? nullptr : effects.front()->parentWidget()->layout();
    if (!box)
        box = layout();
    box->addWidget(label);
    box->addWidget(m_color);
}

NoteFont NoteFontDialog::chosen() const
{
    return {selectedFont(), m_color->currentData().value<QColor>()};
}

std::optional<NoteFont> NoteFontDialog::getFont(QWidget *parent, const NoteFont &initial)
{
    NoteFontDialog dialog(initial, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosen();
}
