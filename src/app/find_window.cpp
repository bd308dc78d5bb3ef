#include "app/find_window.h"

#include "i18n/text_catalog.h"
#include "model/note.h"
#include "model/note_list.h"
#include "model/note_search.h"
#include "platform/gui/window.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int noteRole = Qt::UserRole;

Note *noteOf(const QTreeWidgetItem *item)
{
    return item ? static_cast<Note *>(item->data(0, noteRole).value<QObject *>()) : nullptr;
}

} // namespace

FindWindow::FindWindow(const NoteList &list, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_notes(list)
    , m_edit(new QLineEdit(this))
    , m_list(new QTreeWidget(this))
    , m_noNotes(new QLabel(this))
{
    setObjectName(QStringLiteral("FormFind"));
    setWindowTitle(TextCatalog::builtInText(u"FormFind->Caption"));
    m_edit->setObjectName(QStringLiteral("EditFind"));
    m_edit->setPlaceholderText(TextCatalog::builtInText(u"FormFind->Hint->Text"));
    m_edit->setClearButtonEnabled(true);
    m_list->setObjectName(QStringLiteral("ListNotes"));
    // One column as wide as the window, long lines cut short with an ellipsis, rows told apart by their shade.
    m_list->setColumnCount(1);
    m_list->setHeaderHidden(true);
    m_list->header()->setStretchLastSection(true);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAlternatingRowColors(true);
    m_list->setWordWrap(false);
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_noNotes->setObjectName(QStringLiteral("LabelNoNotes"));
    m_noNotes->setText(TextCatalog::builtInText(u"FormFind->LabelNoNotes->Caption"));
    m_noNotes->setAlignment(Qt::AlignCenter);
    m_noNotes->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_edit);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_noNotes, 1);
    resize(360, 320);

    connect(m_edit, &QLineEdit::textChanged, this, &FindWindow::refresh);
    connect(m_edit, &QLineEdit::returnPressed, this, &FindWindow::chooseCurrent);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) { choose(item); });
    m_edit->installEventFilter(this);
    m_list->installEventFilter(this);
    // Notes come, go and change while the window is open; one listing after a burst of changes (every key
    // typed into a note is one) is enough.
    connect(&m_notes, &NoteList::added, this, &FindWindow::scheduleRefresh);
    connect(&m_notes, &NoteList::removed, this, &FindWindow::scheduleRefresh);
    connect(&m_notes, &NoteList::changed, this, &FindWindow::scheduleRefresh);
}

void FindWindow::open()
{
    const bool wasOpen = isVisible();
    refresh();
    if (!wasOpen)
        Window::centreOnScreen(this);
    showNormal();
    Window::bringToFront(this);
    m_edit->setFocus();
    m_edit->selectAll();
}

QString FindWindow::hintText() const
{
    return m_edit->placeholderText();
}

void FindWindow::setHintText(const QString &text)
{
    m_edit->setPlaceholderText(text);
}

void FindWindow::scheduleRefresh()
{
    if (!isVisible() || m_refreshScheduled)
        return;
    m_refreshScheduled = true;
    QTimer::singleShot(0, this, &FindWindow::refresh);
}

void FindWindow::refresh()
{
    m_refreshScheduled = false;
    // The chosen row stays chosen while the list changes round it.
    const Note *current = noteOf(m_list->currentItem());
    m_list->clear();
    for (Note *note : NoteSearch::find(m_notes, m_edit->text())) {
        const QString firstLine = NoteSearch::firstLine(note->plainText());
        // Two lines in every row, the second empty for a note without text, so that the rows stay alike.
        auto *item = new QTreeWidgetItem(m_list, QStringList{note->title() + u'\n' + firstLine});
        item->setData(0, noteRole, QVariant::fromValue<QObject *>(note));
        item->setToolTip(0, item->text(0));
        if (note == current)
            m_list->setCurrentItem(item);
    }
    const int count = m_list->topLevelItemCount();
    if (!m_list->currentItem() && count > 0)
        setCurrentRow(0);
    m_list->setVisible(count > 0);
    m_noNotes->setVisible(count == 0);
}

QList<Note *> FindWindow::listedNotes() const
{
    QList<Note *> notes;
    for (int row = 0; row < m_list->topLevelItemCount(); ++row)
        notes.append(noteOf(m_list->topLevelItem(row)));
    return notes;
}

void FindWindow::chooseCurrent()
{
    choose(m_list->currentItem() ? m_list->currentItem() : m_list->topLevelItem(0));
}

void FindWindow::setCurrentRow(int row)
{
    if (QTreeWidgetItem *item = m_list->topLevelItem(row))
        m_list->setCurrentItem(item);
}

void FindWindow::choose(QTreeWidgetItem *item)
{
    if (Note *note = noteOf(item))
        Q_EMIT noteChosen(note, NoteSearch::words(m_edit->text()));
}

bool FindWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        // The arrows move through the list while the field keeps the keyboard.
        if (watched == m_edit && (key == Qt::Key_Up || key == Qt::Key_Down)) {
            setCurrentRow(m_list->indexOfTopLevelItem(m_list->currentItem()) + (key == Qt::Key_Down ? 1 : -1));
            return true;
        }
        if (watched == m_list && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            chooseCurrent();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FindWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}
