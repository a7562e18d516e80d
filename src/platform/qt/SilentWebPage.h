// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWebEnginePage>

namespace talvesk {

// A page that never stops to ask the user anything: script dialogs are answered at once,
// file choosers are cancelled, console output is dropped, and requests for a new window
// load their address in this same page so that browsing stays in one view.
class SilentWebPage final : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit SilentWebPage(QWebEngineProfile *profile, QObject *parent = nullptr);

    void setSilent(bool silent) { m_silent = silent; }

Q_SIGNALS:
    // A navigation of the main frame begins: the program's, the user's or the page's own.
    // A redirect is a server's of the navigation running, or a script's of the page shown.
    void mainFrameNavigationStarted(const QUrl &url, bool redirect);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                          QString *result) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int lineNumber,
                                  const QString &sourceID) override;

private:
    bool m_silent = false;
};

} // namespace talvesk
