#pragma once

#include <optional>
#include <utility>

#include <QList>

#include "problem.h"

// The problems that stopped a step, at least one: `return Failure(Problem::error(...));` from a
// function that gives a Result.
struct Failure {
    Failure(Problem problem) : problems{std::move(problem)} {}
    Failure(QList<Problem> list) : problems(std::move(list)) {}

    QList<Problem> problems;
};

// What a step gives: its value, with the warnings met on the way, or the problems that stopped it.
template <typename T> class Result {
public:
    Result(T value, QList<Problem> warnings = {}) : m_value(std::move(value)), m_problems(std::move(warnings))
    {}
    Result(Failure failure) : m_problems(std::move(failure.problems)) { Q_ASSERT(!m_problems.isEmpty()); }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    const T &value() const &
    {
        Q_ASSERT(ok());
        return *m_value;
    }
    T &value() &
    {
        Q_ASSERT(ok());
        return *m_value;
    }
    T &&value() &&
    {
        Q_ASSERT(ok());
        return std::move(*m_value);
    }
    const T *operator->() const { return &value(); }

    // The warnings that came with the value, or the problems that stopped the step.
    const QList<Problem> &problems() const { return m_problems; }
    void addWarning(Problem warning) { m_problems.append(std::move(warning)); }

private:
    std::optional<T> m_value;
    QList<Problem> m_problems;
};
