// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/qt/QtEventLoop.h"

#include <QString>

#include <memory>

class QLockFile;
class QWebEngineProfile;
class QWebEngineView;
class QWidget;

namespace talvesk {

class ProfileCopy;
class QtPageBrowser;

// What the window and the command line share: the browser profile, the event loop, and the
// page browsers built on them, one pair per item being collected.
//
// The persistent profile keeps cookies in the user's data folder. The engine holds its
// stores there exclusively (the cookie database and the storage databases are locked by the
// first process), so a second program on the same folder would lose its cookies and fail
// on storage. Whoever finds the folder in use (our own lock, held as long as the profile
// lives) browses on a copy of the cookies in a private folder of its own instead (see
// ProfileCopy; the program removes it once the engine has shut down), or off the record when
// no such folder can be made. The original is never touched.
class BrowserSetup final
{
public:
    enum class Storage {
        Persistent,   // the user's profile, or a copy of its cookies when it is in use
        OffTheRecord, // nothing on disk (tests)
    };

    explicit BrowserSetup(Storage storage);
    ~BrowserSetup();
    BrowserSetup(const BrowserSetup &) = delete;
    BrowserSetup &operator=(const BrowserSetup &) = delete;

    struct Pages
    {
        QtPageBrowser *itemBrowser;        // the item page
        QtPageBrowser *previewBrowser;     // the preview, hidden at first
        QtPageBrowser *descriptionBrowser; // the description document, never seen
    };
    // Three silent page browsers: the item and preview views are children of parent, the
    // description view of unseenParent, kept out of sight there (see keepOutOfSight), so that the
    // document's lazy pictures come into a view that nobody sees. Each adapter is owned by its
    // view and keeps the profile alive, so they go with the widgets in any order.
    Pages createPages(QWidget *parent, QWidget *unseenParent);
    // One silent page browser as createPages makes them, its view a child of parent.
    QtPageBrowser *createPage(QWidget *parent);
    // A page for description documents, as createPages makes it: also for one that replaces a
    // page whose document would not let go of it.
    QtPageBrowser *createUnseenPage(QWidget *unseenParent);

    // Makes a view draw and scroll as a shown one does without ever reaching the screen or the
    // user: a shown child, so its page is visible to the engine and runs its frames (a hidden
    // view's, or a view-less page's, run none), placed wholly outside its parent, which clips
    // it away, so it has no window of its own to map or close, gets no pointer, and, disabled,
    // no keyboard focus, also when its page asks for it.
    static void keepOutOfSight(QWebEngineView *view);

    QtEventLoop &eventLoop() { return m_eventLoop; }

private:
    QtEventLoop m_eventLoop;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<ProfileCopy> m_copy;
    std::shared_ptr<QWebEngineProfile> m_profile;
};

} // namespace talvesk
