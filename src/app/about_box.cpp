#include "app/about_box.h"

#include "base/program_version.h"
#include "i18n/text_catalog.h"
#include "platform/gui/window.h"
#include "widgets/st_tray_icon.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

using TextCatalog::builtInText;

void setTextColor(QLabel *label, const QColor &color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

QLabel *makeLabel(const char *name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    // Texts come from language files: never read as rich text, which could pull in images or links.
    label->setTextFormat(Qt::PlainText);
    return label;
}

QFont styled(QFont font, bool bold, bool underline = false)
{
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

} // namespace

TAboutBox::TAboutBox(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_urlOpener([](const QUrl &url) { QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(builtInText(u"AboutBox->Caption"));
    QFont small = font();
    small.setPointSize(8);
    setFont(small);
    const QIcon icon = TStTrayIcon::programIcon();
    setWindowIcon(icon);

    // A raised bevel inside a lowered one, in the dialog's colour.
    m_panel = new QFrame(this);
    m_panel->setObjectName(QStringLiteral("Panel1"));
    m_panel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    m_panel->setLineWidth(1);
    m_panel->setMidLineWidth(0);
    m_panel->setMinimumSize(305, 145);
    m_panel->setMouseTracking(true);

    m_programIcon = new QLabel(m_panel);
    m_programIcon->setObjectName(QStringLiteral("ProgramIcon"));
    m_programIcon->setFixedSize(32, 32);
    m_programIcon->setScaledContents(true);
    m_programIcon->setPixmap(icon.pixmap(32, 32));

    m_labelTitle = makeLabel("LabelTitle", QString::fromLatin1(ProgramVersion::title), m_panel);
    m_labelTitle->setFont(styled(small, true));
    setTextColor(m_labelTitle, palette().color(QPalette::Active, QPalette::Highlight));
    m_labelAbout = makeLabel("LabelAbout", builtInText(u"AboutBox->LabelAbout->Caption"), m_panel);
    setTextColor(m_labelAbout, QColor(0x80, 0x00, 0x00));
    m_labelAuthor = makeLabel("LabelAuthor", builtInText(u"AboutBox->LabelAuthor->Caption"), m_panel);
    m_labelAuthor->setFont(styled(small, true));
    setTextColor(m_labelAuthor, QColor(0x00, 0x00, 0x80));
    m_labelEmail = makeLabel("LabelEmail", QString::fromLatin1(licenseLine), m_panel);
    m_labelEmail->setFont(styled(small, true));
    m_labelEmail->setWordWrap(true);
    setTextColor(m_labelEmail, QColor(0x00, 0x80, 0x80));
    m_labelSite = makeLabel("LabelSite", builtInText(u"AboutBox->LabelSite->Caption"), m_panel);
    m_labelSite->setFont(styled(small, false, true));
    m_labelSite->setMouseTracking(true);
    setTextColor(m_labelSite, Qt::blue);

    // OK sits inside the panel's frame, centred under the texts.
    m_okButton = new QPushButton(QStringLiteral("OK"), m_panel);
    m_okButton->setObjectName(QStringLiteral("OKButton"));
    m_okButton->setMinimumSize(74, 25);
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);

    // Each label as wide as its text, so that the pointer leaving the address meets the panel.
    auto *heading = new QVBoxLayout;
    heading->setSpacing(3);
    heading->addWidget(m_labelTitle, 0, Qt::AlignLeft);
    heading->addWidget(m_labelAbout, 0, Qt::AlignLeft);
    heading->addStretch();
    auto *top = new QHBoxLayout;
    top->setSpacing(8);
    top->addWidget(m_programIcon, 0, Qt::AlignTop);
    top->addLayout(heading, 1);

    auto *inside = new QVBoxLayout(m_panel);
    inside->setContentsMargins(8, 8, 8, 12);
    inside->setSpacing(3);
    inside->addLayout(top);
    inside->addSpacing(5);
    inside->addWidget(m_labelAuthor, 0, Qt::AlignLeft);
    inside->addWidget(m_labelEmail, 0, Qt::AlignLeft);
    inside->addWidget(m_labelSite, 0, Qt::AlignLeft);
    inside->addStretch();
    inside->addWidget(m_okButton, 0, Qt::AlignHCenter);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->addWidget(m_panel);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    m_panel->installEventFilter(this);
    m_labelSite->installEventFilter(this);
}

int TAboutBox::execute()
{
    // Asked again while open (the tray menu can still be reached): the open dialog comes to the front.
    if (isVisible()) {
        Window::bringToFront(this);
        return QDialog::Rejected;
    }
    if (m_applyLanguage)
        m_applyLanguage();
    Window::centreOnScreen(this);
    return exec();
}

bool TAboutBox::isOpenableAddress(const QString &text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == u"mailto")
        return !url.path().isEmpty();
    return (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

void TAboutBox::LabelSiteMouseMove()
{
    m_labelSite->setCursor(Qt::PointingHandCursor);
    setTextColor(m_labelSite, Qt::red);
}

void TAboutBox::Panel1MouseMove()
{
    setTextColor(m_labelSite, Qt::blue);
}

void TAboutBox::LabelSiteMouseDown()
{
    // Whatever the label shows, as a language file set it, but only a web or mail address.
    const QString text = m_labelSite->text();
    if (isOpenableAddress(text))
        m_urlOpener(QUrl(text.trimmed(), QUrl::StrictMode));
}

bool TAboutBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_labelSite) {
        // Taken here: a label passes pointer events on to its panel, which would turn the address blue again.
        if (event->type() == QEvent::MouseMove) {
            LabelSiteMouseMove();
            return true;
        }
        if (event->type() == QEvent::MouseButtonPress) {
            LabelSiteMouseDown(); // any button, the right one too
            return true;
        }
    } else if (watched == m_panel && event->type() == QEvent::MouseMove) {
        Panel1MouseMove();
    }
    return QDialog::eventFilter(watched, event);
}
