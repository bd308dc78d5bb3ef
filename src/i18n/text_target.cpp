#include "i18n/text_target.h"

#include "i18n/text_catalog.h"

#include <QAction>
#include <QComboBox>
#include <QMetaProperty>
#include <QWidget>

namespace {

// A writable text property of the object's class; a name it lacks would only set a dynamic property nobody
// reads.
bool hasTextProperty(const QObject *object, const QByteArray &name)
{
    const int index = object->metaObject()->indexOfProperty(name.constData());
    if (index < 0)
        return false;
    const QMetaProperty property = object->metaObject()->property(index);
    return property.isWritable() && property.metaType() == QMetaType::fromType<QString>();
}

} // namespace

TextTarget TextTarget::find(QStringView key, const Forms &forms)
{
    const TextCatalog::KeyPath path = TextCatalog::parse(key);
    TextTarget target;
    if (path.property.isEmpty())
        return target;

    if (path.form.isEmpty()) {
        QAction *item = forms.menuItem ? forms.menuItem(path.control) : nullptr;
        if (item && path.property == u"Caption") {
            target.m_object = item;
            target.m_property = "text";
        }
        return target;
    }

    QWidget *form = nullptr;
    for (QWidget *dialog : forms.dialogs) {
        if (dialog && dialog->objectName() == path.form)
            form = dialog;
    }
    if (!form)
        return target;
    if (path.control.isEmpty()) {
        if (path.property == u"Caption") {
            target.m_object = form;
            target.m_kind = Kind::WindowTitle;
        }
        return target;
    }

    QObject *control = form->findChild<QObject *>(path.control.toString());
    if (path.index >= 0) {
        auto *list = qobject_cast<QComboBox *>(control);
        if (list && path.index < list->count()) {
            target.m_object = list;
            target.m_kind = Kind::ListEntry;
            target.m_index = path.index;
        }
    } else if (path.property == u"Caption") {
        // Labels, buttons, check boxes and radio buttons all carry their caption as "text".
        if (control && hasTextProperty(control, "text")) {
            target.m_object = control;
            target.m_property = "text";
        }
    } else if (!control) {
        const QByteArray name = (path.control.toString() + path.property.toString()).toLatin1();
        if (hasTextProperty(form, name)) {
            target.m_object = form;
            target.m_property = name;
        }
    }
    return target;
}

QString TextTarget::text() const
{
    if (!m_object)
        return {};
    switch (m_kind) {
    case Kind::WindowTitle:
        return static_cast<QWidget *>(m_object.data())->windowTitle();
    case Kind::ListEntry:
        return static_cast<QComboBox *>(m_object.data())->itemText(m_index);
    case Kind::Property:
        break;
    }
    return m_object->property(m_property.constData()).toString();
}

void TextTarget::setText(const QString &text) const
{
    if (!m_object)
        return;
    switch (m_kind) {
    case Kind::WindowTitle:
        static_cast<QWidget *>(m_object.data())->setWindowTitle(text);
        return;
    case Kind::ListEntry:
        // In place: the list keeps its entries, their order and its selection.
        static_cast<QComboBox *>(m_object.data())->setItemText(m_index, text);
        return;
    case Kind::Property:
        m_object->setProperty(m_property.constData(), text);
        return;
    }
}
