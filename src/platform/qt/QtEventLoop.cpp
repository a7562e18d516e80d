// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/QtEventLoop.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>
#include <QTimer>

#include <chrono>

namespace talvesk {

namespace {

// Cancels by a flag the call reads: the call itself may be running while it is cancelled.
class FlaggedCall final : public PendingCall
{
public:
    FlaggedCall() : m_live(std::make_shared<bool>(true)) {}
    ~FlaggedCall() override { *m_live = false; }
    FlaggedCall(const FlaggedCall &) = delete;
    FlaggedCall &operator=(const FlaggedCall &) = delete;

    std::shared_ptr<const bool> liveness() const { return m_live; }
    std::function<void()> guard(std::function<void()> then) const
    {
        return [live = m_live, then = std::move(then)] {
            if (*live)
                then();
        };
    }

private:
    std::shared_ptr<bool> m_live;
};

} // namespace

std::int64_t QtEventLoop::now() const
{
    // The clock QTimer runs on.
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::unique_ptr<PendingCall> QtEventLoop::post(std::function<void()> then)
{
    auto call = std::make_unique<FlaggedCall>();
    QMetaObject::invokeMethod(&m_context, call->guard(std::move(then)), Qt::QueuedConnection);
    return call;
}

std::unique_ptr<PendingCall> QtEventLoop::inBackground(std::function<std::function<void()>()> work)
{
    auto call = std::make_unique<FlaggedCall>();
    // The application outlives every loop, and the flag is read on its thread only: the call
    // is not made for a loop that has gone, nor once cancelled.
    QThreadPool::globalInstance()->start([work = std::move(work), live = call->liveness()] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [live, then = work()] {
                if (*live)
                    then();
            },
            Qt::QueuedConnection);
    });
    return call;
}

std::unique_ptr<PendingCall> QtEventLoop::after(int milliseconds, std::function<void()> then)
{
    auto call = std::make_unique<FlaggedCall>();
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &m_context, call->guard(std::move(then)));
    return call;
}

} // namespace talvesk
