#pragma once

#include "widgets/error_dialog.h"

#include <QAction>
#include <QApplication>
#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QMenu>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <QWindow>

#include <cstring>
#include <span>
#include <string_view>

// One row of a context menu. Its caption is the text of key in the text catalog, which languages replace, or
// for a number (an opacity step, a font size) label, the same in every language; a row with neither is a
// separator. depth is the submenu level; a row followed by deeper ones is a submenu. A row's handler is a
// member of the form that owns the menu: onClick, or onValue called with value (an opacity step, a font size,
// a language's place in the list).
template <class Form> struct MenuRow {
    const char *name;
    const char16_t *key = u"";
    const char *label = "";
    int depth = 0;
    const char *shortcut = "";
    bool checkable = false;
    void (Form::*onClick)() = nullptr;
    void (Form::*onValue)(int) = nullptr;
    int value = 0;

    constexpr bool isSeparator() const { return *key == u'\0' && *label == '\0'; }
};

// Where a named row stands in its table, found while compiling: a name the table lacks does not compile,
// so no item can be missed at run time.
template <class Rows> consteval int menuRow(const Rows &rows, std::string_view name)
{
    int index = 0;
    for (const auto &row : rows) {
        if (name == row.name)
            return index;
        ++index;
    }
    throw "no menu item of that name";
}

// A form's context menu made from its table. Items are made when first needed, and the menu itself when
// first shown, because a program with hundreds of notes opens few of their menus. A shortcut works before
// the menu was ever opened: every form of the kind shares one action per shortcut, added to each form, so
// the shortcut map holds a handful of entries however many notes there are, and a shortcut acts on the
// active form.
template <class Form> class MenuTable {
public:
    // The English text of a catalog key, until a language replaces it.
    using TextOf = QString (*)(QStringView key);

    MenuTable(Form *form, std::span<const MenuRow<Form>> rows, TextOf builtInText)
        : m_form(form)
        , m_rows(rows)
        , m_builtInText(builtInText)
        , m_actions(qsizetype(rows.size()), nullptr)
    {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (*rows[i].shortcut != '\0')
                form->addAction(sharedShortcut(rows, int(i)));
        }
    }

    std::span<const MenuRow<Form>> rows() const { return m_rows; }

    // The action of a row (for a submenu its menu's action, for a separator the separator); never null.
    QAction *action(int row)
    {
        if (!m_actions[row]) {
            if (m_rows[row].isSeparator() || hasChildren(row))
                menu();
            else
                m_actions[row] = makeItem(row);
        }
        return m_actions[row];
    }

    // The whole menu, made on first use.
    QMenu *menu()
    {
        if (m_menu)
            return m_menu;
        m_menu = new QMenu(m_form);
        m_menu->setObjectName(QStringLiteral("PopupMenu1"));
        QList<QMenu *> menus{m_menu};
        for (int i = 0; i < int(m_rows.size()); ++i) {
            const MenuRow<Form> &row = m_rows[i];
            menus.resize(row.depth + 1);
            QMenu *parent = menus.back();
            if (row.isSeparator()) {
                m_actions[i] = parent->addSeparator();
            } else if (hasChildren(i)) {
                QMenu *submenu = parent->addMenu(caption(i));
                submenu->setObjectName(QString::fromLatin1(row.name));
                menus.append(submenu);
                m_actions[i] = submenu->menuAction();
            } else {
                parent->addAction(action(i));
            }
            m_actions[i]->setObjectName(QString::fromLatin1(row.name));
        }
        return m_menu;
    }

    // The caption a row shows: the built-in one, until setCaption replaced it. Makes nothing.
    QString caption(int row) const
    {
        if (m_actions[row])
            return m_actions[row]->text();
        const auto replaced = m_captions.constFind(row);
        if (replaced != m_captions.cend())
            return *replaced;
        const MenuRow<Form> &item = m_rows[row];
        return *item.key != u'\0' ? m_builtInText(item.key) : QString::fromLatin1(item.label);
    }

    // Replaces a row's caption (an empty text too; a separator stays one). A row not made yet takes it when
    // it is made, so a language can be applied to a menu that was never opened without making it.
    void setCaption(int row, const QString &text)
    {
        m_captions.insert(row, text);
        if (m_actions[row])
            m_actions[row]->setText(text);
    }

    // Whether any row's caption was replaced.
    bool hasOwnCaptions() const { return !m_captions.isEmpty(); }

    // Checks or clears a checkable row, remembered for a row not made yet.
    void setChecked(int row, bool checked)
    {
        if (m_actions[row])
            m_actions[row]->setChecked(checked);
        else if (checked)
            m_checked.insert(row, true);
        else
            m_checked.remove(row); // unchecked is what an item is made with; an empty table takes no memory
    }

    // A row by its name at run time, for tests and for texts read from files; -1 when there is none.
    int find(QStringView name) const
    {
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            if (name == QLatin1String(m_rows[i].name))
                return int(i);
        }
        return -1;
    }

    bool hasChildren(int row) const
    {
        return row + 1 < int(m_rows.size()) && m_rows[row + 1].depth > m_rows[row].depth;
    }

private:
    QAction *makeItem(int index)
    {
        const MenuRow<Form> &row = m_rows[index];
        auto *item = new QAction(caption(index), m_form);
        item->setObjectName(QString::fromLatin1(row.name));
        item->setCheckable(row.checkable);
        item->setChecked(m_checked.value(index, false));
        // Shown beside the caption; the form's shared action is what answers the keys.
        if (*row.shortcut != '\0')
            item->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
        Form *form = m_form;
        QObject::connect(item, &QAction::triggered, m_form, [form, &row] { run(form, row); });
        return item;
    }

    // A failing command ends here and is shown: its exception must not unwind through Qt's menu and
    // shortcut code, which does not expect one.
    static void run(Form *form, const MenuRow<Form> &row)
    {
        ErrorDialog::guard([form, &row] {
            if (row.onClick)
                (form->*row.onClick)();
            if (row.onValue)
                (form->*row.onValue)(row.value);
        });
    }

    // The form whose window has the keyboard, among those the action was added to. Just after a window was made
    // anew (moved into the topmost band), Qt knows the window with the focus before it names an active one, and
    // the shortcut fires for it all the same.
    static Form *activeForm(const QAction &action)
    {
        if (auto *form = qobject_cast<Form *>(QApplication::activeWindow()))
            return form;
        const QWindow *focus = QGuiApplication::focusWindow();
        if (!focus)
            return nullptr;
        for (QObject *object : action.associatedObjects()) {
            auto *form = qobject_cast<Form *>(object);
            if (form && form->windowHandle() == focus)
                return form;
        }
        return nullptr;
    }

    // The action of a row's shortcut that every form of the kind shares; it lives as long as the application.
    static QAction *sharedShortcut(std::span<const MenuRow<Form>> rows, int index)
    {
        static QPointer<QObject> owner;
        static QHash<int, QAction *> actions;
        if (!owner) {
            owner = new QObject(QCoreApplication::instance());
            actions.clear();
        }
        QAction *&action = actions[index];
        if (!action) {
            const MenuRow<Form> &row = rows[index];
            action = new QAction(owner);
            action->setObjectName(QString::fromLatin1(row.name) + QStringLiteral("Shortcut"));
            action->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
            // A window shortcut fires only while a form that has the action is the active window.
            QObject::connect(action, &QAction::triggered, owner, [action, &row] {
                if (Form *form = activeForm(*action))
                    run(form, row);
            });
        }
        return action;
    }

    Form *m_form;
    std::span<const MenuRow<Form>> m_rows;
    TextOf m_builtInText;
    QList<QAction *> m_actions;
    QHash<int, QString> m_captions; // rows whose caption replaces the table's
    QHash<int, bool> m_checked;     // checkable rows set before they were made
    QMenu *m_menu = nullptr;
};
