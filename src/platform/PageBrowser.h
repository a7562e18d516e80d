// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PageDocument.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

namespace talvesk {

// One embedded web browser, as the commands see it.
class PageBrowser
{
public:
    enum class LoadState {
        Loading,  // a load has been asked for or is running
        Finished, // the last load completed
        Failed,   // the last load failed or was stopped
    };

    virtual ~PageBrowser() = default;

    // Starts loading the address as a user would type it (a missing scheme is completed);
    // returns at once. loadState() is Loading from this call on.
    virtual void navigate(const QString &address) = 0;
    // Loads an empty document, ready for PageDocument::write.
    virtual void navigateBlank() = 0;

    virtual LoadState loadState() const = 0;
    // Where the latest navigation of the main frame was sent, a server's redirects included:
    // the address of the page shown, or of the one on its way.
    virtual QUrl address() const = 0;
    // Counts the navigations of the page's main frame so far: loads the program asked for and
    // those the page or the user started (a script setting location, a link, Back), also
    // those that replace a load still running without a load of their own.
    virtual int loadGeneration() const = 0;
    // Calls changed once, the next time the load state, the load generation or the drawn
    // scroll position changes. For waits on those, which only the browser's events change.
    virtual void notifyOnChange(std::function<void()> changed) = 0;

    // The document shown now, or nullptr when there is none.
    virtual std::unique_ptr<PageDocument> document() = 0;
    // Whether the shown page, scrolled by a script to this position, was last drawn most of a
    // view away from it. Lazy loaders watch the drawn page, so a further scroll could carry
    // places past unseen.
    virtual bool drawingBehind(int scrolledTo) const = 0;

    // Expires when the browser has gone. A browser that goes first tells its change waiters
    // and fails its reads in progress, so a procedure waiting on it wakes and, finding this
    // expired, leaves it alone (see Waits::dependOn).
    std::weak_ptr<const void> presence() const { return m_presence; }

private:
    std::shared_ptr<const int> m_presence = std::make_shared<const int>(0);
};

} // namespace talvesk
