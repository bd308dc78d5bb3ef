#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringView>

#include <functional>

class QAction;
class QWidget;

// The control text that a text key names, found by reading the key as the path it is (TextCatalog::parse),
// so that the catalog is the one table from keys to controls:
// - "<item>->Caption": the tray menu item of that name;
// - "<form>->Caption": the dialog's title;
// - "<form>-><control>->Caption": the caption of the dialog's label, button, check box or radio button of that
//   object name;
// - "<form>-><list>->Items->Strings[<n>]": entry n of the dialog's drop-down list, replaced in place;
// - "<form>-><component>-><property>": a component that is no widget (a file dialog's filter), held by the
//   dialog as its Qt property named component and property together ("OpenDialog1Filter").
class TextTarget {
public:
    // Where paths start: the tray menu's items by name (nullptr when there is none) and the dialogs by object
    // name.
    struct Forms {
        std::function<QAction *(QStringView name)> menuItem;
        QList<QWidget *> dialogs;
    };

    // An invalid target when the key names nothing that exists.
    static TextTarget find(QStringView key, const Forms &forms);

    bool isValid() const { return !m_object.isNull(); }
    QString text() const;
    void setText(const QString &text) const;

private:
    enum class Kind { Property, WindowTitle, ListEntry };

    QPointer<QObject> m_object;
    Kind m_kind = Kind::Property;
    QByteArray m_property;
    int m_index = -1;
};
