#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;

// The about box: the program's icon, name and version, what it does, who makes it, its licence and the
// licence's web page, whose label opens the address with the desktop's default handler.
class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget *parent = nullptr);

    // Opens the box modally, the language's texts first.
    int execute();

    // Runs first at every opening; the main form's ApplyLanguage binds here (see TFormOptions).
    void setApplyLanguage(std::function<void()> applyLanguage) { m_applyLanguage = std::move(applyLanguage); }

    // Hands an address to the desktop (QDesktopServices::openUrl by default; tests record it instead).
    using UrlOpener = std::function<void(const QUrl &url)>;
    void setUrlOpener(UrlOpener opener) { m_urlOpener = std::move(opener); }

    // The web page label's text comes from a language file, so it is opened only when it is a web or mail
    // address: an http or https address with a host, or a mailto address. A file, a program's path or any
    // other scheme is never handed to the desktop, which would open or run it.
    static bool isOpenableAddress(const QString &text);

    void LabelSiteMouseMove();
    void LabelSiteMouseDown();
    void Panel1MouseMove();

    QFrame *Panel1() const { return m_panel; }
    QLabel *ProgramIcon() const { return m_programIcon; }
    QLabel *LabelTitle() const { return m_labelTitle; }
    QLabel *LabelAbout() const { return m_labelAbout; }
    QLabel *LabelAuthor() const { return m_labelAuthor; }
    QLabel *LabelEmail() const { return m_labelEmail; }
    QLabel *LabelSite() const { return m_labelSite; }
    QPushButton *OKButton() const { return m_okButton; }

    // The line under the author, not replaced by a language. The program has no address to write to, so the
    // line names its licence, whose text the web page label opens.
    static constexpr char licenseLine[] = "GPL-3.0-or-later";

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QFrame *m_panel;
    QLabel *m_programIcon;
    QLabel *m_labelTitle;
    QLabel *m_labelAbout;
    QLabel *m_labelAuthor;
    QLabel *m_labelEmail;
    QLabel *m_labelSite;
    QPushButton *m_okButton;
    UrlOpener m_urlOpener;
    std::function<void()> m_applyLanguage;
};
