// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/SilentWebPage.h"

#include <QWebEngineNewWindowRequest>

namespace talvesk {

SilentWebPage::SilentWebPage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent)
{
    // Links with target=_blank and window.open() would otherwise need a second view; the
    // item pages are reached from the marketplace's home page exactly that way.
    connect(this, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest &request) { load(request.requestedUrl()); });
}

bool SilentWebPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (isMainFrame)
        Q_EMIT mainFrameNavigationStarted(url, type == NavigationTypeRedirect);
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

void SilentWebPage::javaScriptAlert(const QUrl &securityOrigin, const QString &msg)
{
    if (!m_silent)
        QWebEnginePage::javaScriptAlert(securityOrigin, msg);
}

bool SilentWebPage::javaScriptConfirm(const QUrl &securityOrigin, const QString &msg)
{
    // Agreeing also answers the engine's "leave this page?" question, which must never hold
    // up a navigation that the collect command is waiting for.
    if (!m_silent)
        return QWebEnginePage::javaScriptConfirm(securityOrigin, msg);
    return true;
}

bool SilentWebPage::javaScriptPrompt(const QUrl &securityOrigin, const QString &msg,
                                     const QString &defaultValue, QString *result)
{
    if (!m_silent)
        return QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
    return false;
}

QStringList SilentWebPage::chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                                       const QStringList &acceptedMimeTypes)
{
    if (!m_silent)
        return QWebEnginePage::chooseFiles(mode, oldFiles, acceptedMimeTypes);
    return {};
}

void SilentWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                             int lineNumber, const QString &sourceID)
{
    if (!m_silent)
        QWebEnginePage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
}

} // namespace talvesk
