#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>

class Note;
class NoteList;
class QLabel;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

// "Find...": a field for words and the notes that hold them all, in title or text, each listed by its title
// and its first line. Enter in the field (or on the list) or a double click on a row chooses that note. The
// list follows the notes while the window is open. Its object name, "FormFind", is its texts' key.
class FindWindow : public QWidget {
    Q_OBJECT
    // The field's hint, which a language replaces ("FormFind->Hint->Text").
    Q_PROPERTY(QString HintText READ hintText WRITE setHintText)

public:
    explicit FindWindow(const NoteList &list, QWidget *parent = nullptr);

    // Opens the window, or brings it to the front when open, with the field ready for typing.
    void open();
    // Lists the notes that match the field again.
    void refresh();
    // Chooses the row's note (the current row, else the first); nothing when the list is empty.
    void chooseCurrent();

    QLineEdit *EditFind() const { return m_edit; }
    QTreeWidget *ListNotes() const { return m_list; }
    QLabel *LabelNoNotes() const { return m_noNotes; }
    // The notes the list shows, in its order.
    QList<Note *> listedNotes() const;

    QString hintText() const;
    void setHintText(const QString &text);

signals:
    // The user chose a note, found with these words.
    void noteChosen(Note *note, const QStringList &words);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void choose(QTreeWidgetItem *item);
    void setCurrentRow(int row);
    void scheduleRefresh();

    const NoteList &m_notes;
    QLineEdit *m_edit;
    QTreeWidget *m_list;
    QLabel *m_noNotes;
    bool m_refreshScheduled = false;
};
