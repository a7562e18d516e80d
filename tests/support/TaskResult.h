// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The result of a task started now, there once it has finished.
//
//   const auto result = started(command.run(address));
//   ASSERT_TRUE(waitUntil([&] { return result->has_value(); }));

#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>

namespace talvesk::test {

template <typename T> std::shared_ptr<std::optional<T>> started(QCoro::Task<T> task)
{
    auto result = std::make_shared<std::optional<T>>();
    [](QCoro::Task<T> running, std::shared_ptr<std::optional<T>> into) -> QCoro::Task<> {
        *into = co_await running;
    }(std::move(task), result);
    return result;
}

} // namespace talvesk::test
